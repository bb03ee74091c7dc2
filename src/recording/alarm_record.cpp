#include "recording/alarm_record.h"

#include <algorithm>
#include <ctime>

#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"

namespace recording {

CAlarmRecord::CAlarmRecord(CPreAlarmRing& ring, std::function<std::string()> sessionCookie,
                           std::function<void()> clearParserAlarmFlag,
                           RecordFileWriter::Clock clock)
    : RecordFileRecorder(ring, kRecordKindAlarm, clock),
      m_SessionCookie(std::move(sessionCookie)),
      m_ClearParserAlarmFlag(std::move(clearParserAlarmFlag)) {}

bool CAlarmRecord::CreateThread() {
    m_fRecording = 0;
    m_fAlarmItemPending = 0;
    m_wRingFillCount = 0;
    m_fStop = 0;
    if (m_ClearParserAlarmFlag) {
        m_ClearParserAlarmFlag();
    }
    return StartRecorderThread([this] { return Alarm_Record_Thread(); });
}

std::uint32_t CAlarmRecord::StartRecord(const std::string& recordPath) {
    if (m_fStop) {
        return 0;
    }
    {
        std::lock_guard lock(m_FileLock);
        if (m_File.IsOpen() || m_fAlarmItemPending) {
            return 0;
        }
        m_fAlarmItemPending = 1;
        if (!BeginRecording(recordPath)) {
            return 0;
        }
    }
    platform::SetEvent(h_StartEvent);
    return 1;
}

std::string CAlarmRecord::FileStem() const {
    const std::string cookie = m_SessionCookie ? m_SessionCookie() : std::string();
    return RecordFileStem("ALARM_MJPEG_", std::time(nullptr), "_" + FileNameSafe(cookie, 4));
}

void CAlarmRecord::OnFileOpened() {
    AlarmDatabase().NewAlarmDataItem(m_File.Path().string());
}

void CAlarmRecord::OnFileClosed(std::uint32_t frames) {
    const std::string programFolder = g_lpApp ? g_lpApp->CSettingINI.m_strProgramPath : "";
    AlarmDatabase().AppendAlarmData(programFolder, frames, m_strServerName);
}

void CAlarmRecord::OnFirstFrame(const PreAlarmFrameInfo& info) {
    const SystemTime& t = info.stCaptureTime;
    AlarmDatabase().SetPendingCaptureTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

std::uint32_t CAlarmRecord::StopRecord() {
    CloseRecording();
    std::lock_guard lock(m_FileLock);
    if (!m_File.IsOpen()) {
        m_fAlarmItemPending = 0;
    }
    return 1;
}

std::uint32_t CAlarmRecord::Stop() {
    m_fStop = 1;
    StopRecord();
    if (m_ClearParserAlarmFlag) {
        m_ClearParserAlarmFlag();
    }
    return 1;
}

std::uint32_t CAlarmRecord::Alarm_Record_Thread() {
    while (WaitForStart(h_StartEvent)) {
        if (EnterFrameLoop() && (RecordUntilStopped() || m_fStop)) {
            break;
        }
    }
    return 0;
}

bool CAlarmRecord::RecordUntilStopped() {
    bool first = true;
    for (;;) {
        const Wake wake = platform::WaitForObject(h_StopEvent, 0) == platform::kWaitObject0
                              ? Wake::Stop
                              : WaitForFrame();
        // Stopped, the session ended, or the file failed: the file is closed. After a failure
        // the alarm stays pending, so the parser does not open failing file after failing file
        // while the alarm lasts; its StopRecord at the alarm's end clears the mark.
        if (WriteOrLeave(wake, [&] {
                const bool written = first ? WritePreAlarmFrames() : WriteNewestFrame();
                first = false;
                return written;
            })) {
            continue;
        }
        // Only now may the parser start the next recording: the push no longer sees this one.
        if (wake != Wake::Frame) {
            m_fAlarmItemPending = 0;
        }
        platform::SetEvent(h_ReplyEvent);
        return wake == Wake::SessionEnd;
    }
}

bool CAlarmRecord::WritePreAlarmFrames() {
    // The ring's write index runs on from the last session while the fill count starts anew
    // with each: this session's frames are the newest `fill` ones, whatever slot they start in.
    const auto frames = std::min<std::uint16_t>(m_wRingFillCount.load(), kPreAlarmSlotCount);
    for (std::uint16_t back = frames; back > 0; --back) {
        if (!WriteSlot(CPreAlarmRing::Before(m_Ring.m_wWriteIndex, back))) {
            return false;
        }
    }
    return true;
}

}  // namespace recording
