#pragma once

// The one place where the windows wait for a device. A command's steps that talk to the device
// run here, one command at a time, on one worker thread of the runner; what the command found
// goes back to the owner's thread through the owner's poster, where the owner applies it. The
// owner's thread therefore keeps painting and answering while a slow device takes its full
// time-outs, and a second command cannot start before the first one's result is applied.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/sync.h"

class CommandRunner {
public:
    // Queues a call onto the owner's thread (the window's thread); it must never run the call
    // on the thread that posts it.
    using Post = std::function<void(std::function<void()>)>;

    explicit CommandRunner(Post post);
    // Cancels a running command.
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Runs `work` on the runner's thread and hands its result to `done` on the owner's thread.
    // False, with nothing started, while another command has not been applied yet. Call both
    // from the owner's thread only.
    template <class Result>
    bool Start(std::function<Result()> work, std::function<void(Result)> done) {
        return StartJob([work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(work());
            return std::function<void()>(
                [done = std::move(done), result] { done(std::move(*result)); });
        });
    }
    bool Start(std::function<void()> work, std::function<void()> done = {});

    // From starting a command until its result has been handed to `done`.
    bool Busy() const { return m_busy.load(); }

    // Ends the running command at once: every blocking call it is in (socket, wait, sleep)
    // fails, the thread unwinds, and its result is never delivered. A later Start runs again.
    void Cancel();

private:
    // A command: its work, returning what to run on the owner's thread afterwards.
    using Job = std::function<std::function<void()>()>;

    bool StartJob(Job job);
    std::uint32_t WorkerThread();

    Post m_post;
    std::mutex m_mutex;
    Job m_job;                                      // guarded by m_mutex
    std::shared_ptr<std::atomic<bool>> m_delivery;  // guarded by m_mutex; false: drop the result
    platform::Handle m_jobReady;
    platform::HandleField m_thread;
    // Set and cleared on the owner's thread only; read anywhere.
    std::atomic<bool> m_busy{false};
};
