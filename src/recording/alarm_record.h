#pragma once

// The alarm recorder: while the device reports an alarm, records the live stream into a record
// file that begins with the frames the pre-alarm ring still holds. Files hold at most 6,000
// frames; a longer alarm goes on in a new file. Each finished file gets its own entry in
// AlarmData.dat. Its thread runs for the length of a session.
//
// An alarm that ends is held for kAlarmHoldMs before its recording ends: a new alarm within the
// hold goes on in the same file, so an alarm input that bounces or a motion detection that
// flickers makes one recording, not one file and one list entry per flicker each led by the
// whole pre-alarm ring again. The frames of the hold are recorded too, so the recording plays
// through the gaps and a single alarm ends with what followed it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "recording/record_file_recorder.h"

namespace recording {

class CAlarmRecord : public RecordFileRecorder {
public:
    // A contact that bounces settles within milliseconds and a flickering motion detection
    // drops out for a second or two between detections: five seconds bridges both with room,
    // while alarms further apart than that still get a recording each, and the tail after a
    // single alarm stays short.
    static constexpr std::uint32_t kAlarmHoldMs = 5'000;

    // `sessionCookie` gives the device's session cookie (part of the file names);
    // `clearParserAlarmFlag` clears the stream parser's alarm word.
    CAlarmRecord(CPreAlarmRing& ring, std::function<std::string()> sessionCookie,
                 std::function<void()> clearParserAlarmFlag,
                 RecordFileWriter::Clock clock = LocalSystemTimeNow);

    // Clears the counters and the stop request and starts the thread for a new session.
    bool CreateThread();

    // Opens a new file in `recordPath` and lets the thread record into it; within the hold of an
    // alarm that ended, goes on in its file instead. 0 after Stop, while a recording is pending
    // or under way, and when the file cannot be created (reported; the alarm then stays
    // unrecorded until it ends).
    std::uint32_t StartRecord(const std::string& recordPath);
    // The alarm ended: the recording goes on through the hold and ends when no new alarm came.
    // Without a thread to record the hold, or without a file, as StopRecord.
    std::uint32_t EndAlarm();
    // Ends the recording now: the thread closes the file, or this thread when none records.
    std::uint32_t StopRecord();
    // StopRecord, and no further alarm recording in this session.
    std::uint32_t Stop();
    // The stream dropped: as Stop, except that a recording under way goes into its hold from now
    // and its file waits for the next session, whose thread goes on in it when the alarm comes
    // back within the hold and closes it otherwise. A drop is no end of the alarm: the device
    // still reports it once the stream is back.
    std::uint32_t Interrupt();

    // 1 from StartRecord until the recording's file is closed, and after a failed recording
    // until the alarm ends: meanwhile the parser starts no new recording.
    std::atomic<std::uint32_t> m_fAlarmItemPending{0};
    // The recording runs for an alarm that has not ended: pending, and not in its hold.
    bool AlarmRunning() const { return m_fAlarmItemPending && !m_fHolding; }
    // Frames pushed into the ring this session, counted up to 21 by the push.
    std::atomic<std::uint16_t> m_wRingFillCount{0};
    std::atomic<std::uint32_t> m_fStop{0};

protected:
    std::string FileStem() const override;
    void OnFileOpened() override;
    // Enters the file in the alarm list; a list that cannot take it is reported once a session.
    void OnFileClosed(const std::filesystem::path& path, std::uint32_t frames) override;
    // The first failed recording of a session in a box; later ones only in the status line and
    // the trace, so a full disk under a run of alarms does not pile up boxes.
    void ShowFailure(const std::string& text) override;
    // Dates the pending alarm-database entry.
    void OnFirstFrame(const PreAlarmFrameInfo& info) override;
    bool KeepsFileAcrossSessions() const override { return m_fCarried; }

private:
    std::uint32_t Alarm_Record_Thread();
    // Records until a stop or the session's end; true at the session's end.
    bool RecordUntilStopped();
    bool WritePreAlarmFrames();
    // File lock held: the alarm ended a whole hold ago and did not come back.
    bool HoldOver() const;
    // How long the thread may wait for a frame before the hold is over.
    std::uint32_t FrameWaitMs() const;

    std::function<std::string()> m_SessionCookie;
    std::function<void()> m_ClearParserAlarmFlag;
    // Set by EndAlarm (with the tick it happened at), cleared by a new alarm within the hold and
    // when the recording ends.
    std::atomic<bool> m_fHolding{false};
    std::atomic<std::uint32_t> m_dwHoldStart{0};
    // Set by Interrupt while a file is open; the next CreateThread takes the file over.
    std::atomic<bool> m_fCarried{false};
    // This session told the user of a failed recording, of an alarm list that took no entry.
    std::atomic<bool> m_fFailureShown{false};
    std::atomic<bool> m_fListFailureShown{false};
};

}  // namespace recording
