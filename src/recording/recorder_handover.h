#pragma once

// What the alarm, user and schedule recorders share: the hand-over of frames from the pre-alarm
// ring, the thread's waits, the closing of a recording from another thread, and the report of a
// failed file.
//
// Hand-over: the compose thread's push takes every recorder's h_FreeSem before it writes the
// ring; it gives a recorder in its frame loop (m_fRecording 1) h_ReadySem instead of h_FreeSem
// back, and that recorder releases h_FreeSem once it has written the newest frame. Every wait on
// either side also wakes on the session's end, and the semaphores are made anew for every
// session, so no session inherits counts the last one left behind.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/sync.h"
#include "recording/pre_alarm_ring.h"
#include "recording/schedule_file.h"

namespace recording {

// Status-line texts of failed recordings.
inline constexpr const char* kCreateRecordFileFailed = "Create record file is failed";
inline constexpr const char* kWriteRecordFileFailed = "Write record file is failed";

class RecorderHandover {
public:
    explicit RecorderHandover(CPreAlarmRing& ring) : m_Ring(ring) {}
    virtual ~RecorderHandover() = default;
    RecorderHandover(const RecorderHandover&) = delete;
    RecorderHandover& operator=(const RecorderHandover&) = delete;

    // h_FreeSem (1, 1), h_ReadySem (0, 1) and the stop and reply events, replacing any left.
    bool CreateHandover();
    void FreeHandover();

    // Ends the recorder's thread (it unwinds at once: its waits fail). A recorder whose file
    // does not outlive the session closes what is still open.
    bool TerminateThread();
    bool ThreadRunning() const;

    // The first frame handed over after a file opened describes that file: its address,
    // capture time and record mode go into m_InfoBlock, once per file.
    void NoteFirstFrame(const PreAlarmFrameInfo& info);

    // The last failure shown in the status line, "" when none since the program started.
    std::string LastFailure() const;

    // Laid out as a schedule file's header; the push fills it from the first frame it hands over
    // after each file opening (m_fInfoBlockPending marks that).
    ScheduleRecordHeader m_InfoBlock;
    std::atomic<bool> m_fInfoBlockPending{true};
    // Device address of the open file, for the block above.
    std::array<std::uint8_t, 4> m_abAddress{};

    platform::HandleField h_RecordThread;
    platform::HandleField h_FreeSem;
    platform::HandleField h_ReadySem;
    platform::HandleField h_StopEvent;
    platform::HandleField h_ReplyEvent;
    // 1 while the thread is in its frame loop and takes every pushed frame.
    std::atomic<std::uint32_t> m_fRecording{0};

protected:
    enum class Wake { Frame, Stop, SessionEnd, Timeout };

    // Starts `proc` as the recorder's thread; false when it cannot be created.
    bool StartRecorderThread(std::function<std::uint32_t()> proc);

    // Waits for `startEvent`; false on the session's end or a failed wait.
    static bool WaitForStart(platform::Handle startEvent);
    // Waits for the next frame, a stop request or the session's end, at most `timeoutMs`. A
    // failed wait (the thread is being stopped, the session's events are gone) counts as the
    // session's end.
    Wake WaitForFrame(std::uint32_t timeoutMs = platform::kInfinite);

    // Under the file lock: enters the frame loop when a file is open.
    bool EnterFrameLoop();
    // Leaves it. Holding the ring (woken by a frame), gives it back; otherwise settles a frame
    // the push may be handing over right now, so the next push finds h_FreeSem as it expects.
    void LeaveFrameLoop(bool holdingRing);

    // Asks the thread to close the open file, waiting up to 500 ms for its reply. When no
    // thread is in the frame loop to do it (none runs, or it waits for a start), closes the file
    // on the calling thread.
    void CloseRecording();

    // File lock held: the newest frame, in a new file when the open one is full.
    bool WriteNewestFrame();
    // One turn of a record-file loop once woken: on a frame, `write` runs under the file lock
    // and, when it succeeds, the ring is handed back (true). Otherwise (a stop, a time-out, the
    // session's end, or `write` said no) the file is closed and the frame loop left (false).
    bool WriteOrLeave(Wake wake, const std::function<bool()>& write);

    virtual bool FileOpen() const = 0;
    // File lock held: a new file; a failure is reported.
    virtual bool OpenFile() = 0;
    virtual std::uint32_t FileFrameCount() const = 0;
    // File lock held: appends the frame in `slot`.
    virtual bool WriteSlot(std::uint16_t slot) = 0;
    // Closes the open file; the file lock is held.
    virtual void CloseFile() = 0;
    // True for a recording that goes on in the same file in the next session.
    virtual bool KeepsFileAcrossSessions() const { return false; }
    virtual void OnFirstFrame(const PreAlarmFrameInfo& /*info*/) {}

    // Shows `what` in the status line, logs it with the reason, and tells the user in a box
    // that stays until seen (ShowFailure).
    void ReportFailure(const std::string& what, const std::string& reason);
    // The status line's text is soon replaced by the frame rate: the failure, with the file and
    // the reason, goes in a box too.
    virtual void ShowFailure(const std::string& text);

    CPreAlarmRing& m_Ring;
    // Guards the open file and its counters between the recorder thread and callers.
    mutable std::mutex m_FileLock;

private:
    mutable std::mutex m_FailureLock;
    std::string m_strLastFailure;
};

// The session's end event, null when there is no session.
platform::Handle SessionEndEvent();

}  // namespace recording
