#pragma once

// The user recorder: the manual recording started and stopped with the main window's record
// button. It starts with the next frame. A recording that is running when the session breaks off
// keeps its file open and goes on in it after the re-login (ResumeRecord). Files hold at most
// 6,000 frames; a longer recording goes on in a new file.

#include <cstdint>
#include <string>

#include "recording/record_file_recorder.h"

namespace recording {

class CUserRecord : public RecordFileRecorder {
public:
    explicit CUserRecord(CPreAlarmRing& ring, RecordFileWriter::Clock clock = LocalSystemTimeNow);

    // Starts the thread; the recording's state carries over from the last session.
    bool CreateThread();

    // Opens a new file in `recordPath` and starts recording into it. 0 while a recording is
    // open (also one waiting to resume), and when the file cannot be created (reported).
    std::uint32_t StartRecord(const std::string& recordPath);
    // Ends the recording: the thread closes the file, or this thread when none is recording.
    std::uint32_t StopRecord();
    // After a re-login: goes on recording into the open file. 0 when there is none.
    std::uint32_t ResumeRecord();

    // A recording is open: running, or waiting to resume after a session break. This, not
    // m_fRecording, is what the record button shows.
    bool IsRecording() const;

protected:
    std::string FileStem() const override;
    bool KeepsFileAcrossSessions() const override { return true; }

private:
    std::uint32_t Jpeg_User_Record_Thread();
    // Records until a stop (false) or the session's end (true).
    bool RecordUntilStopped();
};

}  // namespace recording
