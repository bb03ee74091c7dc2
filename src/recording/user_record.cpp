#include "recording/user_record.h"

#include <ctime>

#include "kernel/kernel_object.h"
#include "kernel/main_window_link.h"

namespace recording {

CUserRecord::CUserRecord(CPreAlarmRing& ring, RecordFileWriter::Clock clock)
    : RecordFileRecorder(ring, kRecordKindManual, clock) {}

bool CUserRecord::CreateThread() {
    return StartRecorderThread([this] { return Jpeg_User_Record_Thread(); });
}

bool CUserRecord::IsRecording() const {
    std::lock_guard lock(m_FileLock);
    return m_File.IsOpen();
}

std::uint32_t CUserRecord::StartRecord(const std::string& recordPath) {
    {
        std::lock_guard lock(m_FileLock);
        if (m_File.IsOpen() || !BeginRecording(recordPath)) {
            return 0;
        }
    }
    platform::SetEvent(h_StartEvent);
    return 1;
}

std::uint32_t CUserRecord::StopRecord() {
    CloseRecording();
    return 1;
}

std::uint32_t CUserRecord::ResumeRecord() {
    if (!IsRecording()) {
        return 0;
    }
    platform::SetEvent(h_StartEvent);
    return 1;
}

std::string CUserRecord::FileStem() const {
    return RecordFileStem("USER_MJPEG_", std::time(nullptr), "_UR");
}

std::uint32_t CUserRecord::Jpeg_User_Record_Thread() {
    while (WaitForStart(h_StartEvent)) {
        if (EnterFrameLoop() && RecordUntilStopped()) {
            break;
        }
    }
    return 0;
}

bool CUserRecord::RecordUntilStopped() {
    for (;;) {
        const Wake wake = WaitForFrame();
        if (wake == Wake::SessionEnd) {
            // The file stays open with its counters and index; the next session's thread goes
            // on in it when ResumeRecord says so. This session's semaphores go with the session.
            m_fRecording = 0;
            return true;
        }
        if (WriteOrLeave(wake, [this] { return WriteNewestFrame(); })) {
            continue;
        }
        // The recording ended by itself (a write failed): the record button must not go on
        // showing it.
        if (wake == Wake::Frame && g_lpApp) {
            if (MainWindowLink* window = g_lpApp->m_pMainDialog.load()) {
                window->SetButtonImage(kRecordButtonId, 0);
            }
        }
        platform::SetEvent(h_ReplyEvent);
        return false;
    }
}

}  // namespace recording
