#pragma once

// The alarm recorder: while the device reports an alarm, records the live stream into a record
// file that begins with the frames the pre-alarm ring still holds. Files hold at most 6,000
// frames; a longer alarm goes on in a new file. Each finished file gets its own entry in
// AlarmData.dat. Its thread runs for the length of a session.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "recording/record_file_recorder.h"

namespace recording {

class CAlarmRecord : public RecordFileRecorder {
public:
    // `sessionCookie` gives the device's session cookie (part of the file names);
    // `clearParserAlarmFlag` clears the stream parser's alarm word.
    CAlarmRecord(CPreAlarmRing& ring, std::function<std::string()> sessionCookie,
                 std::function<void()> clearParserAlarmFlag,
                 RecordFileWriter::Clock clock = LocalSystemTimeNow);

    // Clears the counters and the stop request and starts the thread for a new session.
    bool CreateThread();

    // Opens a new file in `recordPath` and lets the thread record into it. 0 after Stop, while a
    // recording is pending or under way, and when the file cannot be created (reported; the
    // alarm then stays unrecorded until StopRecord).
    std::uint32_t StartRecord(const std::string& recordPath);
    // Ends the recording: the thread closes the file, or this thread when none records.
    std::uint32_t StopRecord();
    // StopRecord, and no further alarm recording in this session.
    std::uint32_t Stop();

    // 1 from StartRecord until the recording's file is closed, and after a failed recording
    // until StopRecord: meanwhile the parser starts no new recording.
    std::atomic<std::uint32_t> m_fAlarmItemPending{0};
    // Frames pushed into the ring this session, counted up to 21 by the push.
    std::atomic<std::uint16_t> m_wRingFillCount{0};
    std::atomic<std::uint32_t> m_fStop{0};

protected:
    std::string FileStem() const override;
    void OnFileOpened() override;
    void OnFileClosed(std::uint32_t frames) override;
    // Dates the pending alarm-database entry.
    void OnFirstFrame(const PreAlarmFrameInfo& info) override;

private:
    std::uint32_t Alarm_Record_Thread();
    // Records until a stop or the session's end; true at the session's end.
    bool RecordUntilStopped();
    bool WritePreAlarmFrames();

    std::function<std::string()> m_SessionCookie;
    std::function<void()> m_ClearParserAlarmFlag;
};

}  // namespace recording
