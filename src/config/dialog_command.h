#pragma once

// The device command of a configuration dialog. Its work runs on the dialog's own command runner
// (protocol/command_runner.h), one command at a time, while the dialog shows that it waits: the
// busy cursor, and the controls that would start another command or close the dialog the normal
// way held off. The result comes back on the window's thread. The dialog keeps painting
// meanwhile, and closing it cancels the command.

#include <QObject>
#include <functional>

#include "protocol/command_runner.h"

class DialogCommand {
public:
    // `holdOff(true)` disables what must wait for the command, `holdOff(false)` enables it again.
    DialogCommand(QObject& owner, std::function<void(bool)> holdOff);
    // Cancels a running command; the dialog's controls are going away with it.
    ~DialogCommand();
    DialogCommand(const DialogCommand&) = delete;
    DialogCommand& operator=(const DialogCommand&) = delete;

    // Runs `work` on the runner's thread and `done` with its result on the window's thread.
    // False, with nothing started, while a command runs.
    template <class Result>
    bool Start(std::function<Result()> work, std::function<void(Result)> done) {
        const bool started =
            m_runner.Start<Result>(std::move(work), [this, done = std::move(done)](Result result) {
                EndWait(true);
                done(std::move(result));
            });
        if (started) {
            BeginWait();
        }
        return started;
    }

    bool Busy() const { return m_runner.Busy(); }
    // Ends a running command at once; its result is dropped.
    void Cancel();

private:
    void BeginWait();
    void EndWait(bool releaseControls);

    std::function<void(bool)> m_holdOff;
    bool m_fWaiting = false;
    CommandRunner m_runner;
};
