#include "recording/alarm_record.h"

#include <algorithm>
#include <ctime>

#include "kernel/alarm_db.h"
#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "ui/message_sink.h"

namespace recording {

CAlarmRecord::CAlarmRecord(CPreAlarmRing& ring, std::function<std::string()> sessionCookie,
                           std::function<void()> clearParserAlarmFlag,
                           RecordFileWriter::Clock clock)
    : RecordFileRecorder(ring, kRecordKindAlarm, clock),
      m_SessionCookie(std::move(sessionCookie)),
      m_ClearParserAlarmFlag(std::move(clearParserAlarmFlag)) {}

bool CAlarmRecord::CreateThread() {
    bool carried = false;
    {
        std::lock_guard lock(m_FileLock);
        carried = m_fCarried.exchange(false) && m_File.IsOpen();
    }
    m_fRecording = 0;
    if (!carried) {
        m_fAlarmItemPending = 0;
        m_fHolding = false;
    }
    m_wRingFillCount = 0;
    m_fStop = 0;
    m_fFailureShown = false;
    m_fListFailureShown = false;
    if (m_ClearParserAlarmFlag) {
        m_ClearParserAlarmFlag();
    }
    if (!StartRecorderThread([this] { return Alarm_Record_Thread(); })) {
        return false;
    }
    // The new thread goes on in the file at once, so that its hold runs out without a frame too.
    if (carried) {
        platform::SetEvent(h_StartEvent);
    }
    return true;
}

std::uint32_t CAlarmRecord::StartRecord(const std::string& recordPath) {
    if (m_fStop) {
        return 0;
    }
    {
        std::lock_guard lock(m_FileLock);
        if (m_fHolding && m_File.IsOpen() && !HoldOver()) {
            m_fHolding = false;
            return 1;
        }
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

void CAlarmRecord::OnFileClosed(const std::filesystem::path& path, std::uint32_t frames) {
    const std::string programFolder = g_lpApp ? g_lpApp->CSettingINI.m_strProgramPath : "";
    if (AlarmDatabase().AppendAlarmData(programFolder, frames, m_strServerName) != 0) {
        return;
    }
    const AlarmDBFailure why = AlarmDatabase().LastAppendFailure();
    const std::string text =
        "The alarm recording " + path.string() +
        " was kept, but it could not be entered in the alarm list: " + why.text + ".";
    TraceLogWrite(text.c_str());
    // A list of another program is told of once a run, wherever it is met first.
    if ((!why.foreign || AlarmDatabase().FirstForeignNotice()) &&
        !m_fListFailureShown.exchange(true)) {
        ui::ShowMessage(text +
                        "\nFurther alarm recordings of this session that miss the list "
                        "are noted in trace.log only.");
    }
}

void CAlarmRecord::ShowFailure(const std::string& text) {
    if (!m_fFailureShown.exchange(true)) {
        ui::ShowMessage(text +
                        "\nFurther failed alarm recordings of this session are noted in "
                        "trace.log only.");
    }
}

void CAlarmRecord::OnFirstFrame(const PreAlarmFrameInfo& info) {
    const SystemTime& t = info.stCaptureTime;
    AlarmDatabase().SetPendingCaptureTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

std::uint32_t CAlarmRecord::EndAlarm() {
    {
        std::lock_guard lock(m_FileLock);
        if (m_File.IsOpen() && ThreadRunning()) {
            if (!m_fHolding) {
                m_dwHoldStart = platform::GetTickCount();
                m_fHolding = true;
            }
            return 1;
        }
    }
    return StopRecord();
}

bool CAlarmRecord::HoldOver() const {
    return m_fHolding && platform::GetTickCount() - m_dwHoldStart >= kAlarmHoldMs;
}

std::uint32_t CAlarmRecord::FrameWaitMs() const {
    if (!m_fHolding) {
        return platform::kInfinite;
    }
    const std::uint32_t held = platform::GetTickCount() - m_dwHoldStart;
    return held >= kAlarmHoldMs ? 0 : kAlarmHoldMs - held;
}

std::uint32_t CAlarmRecord::StopRecord() {
    CloseRecording();
    std::lock_guard lock(m_FileLock);
    if (!m_File.IsOpen()) {
        m_fAlarmItemPending = 0;
        m_fHolding = false;
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

std::uint32_t CAlarmRecord::Interrupt() {
    bool carried = false;
    {
        std::lock_guard lock(m_FileLock);
        if (m_File.IsOpen()) {
            if (!m_fHolding) {
                m_dwHoldStart = platform::GetTickCount();
                m_fHolding = true;
            }
            m_fCarried = carried = true;
        }
    }
    if (!carried) {
        return Stop();
    }
    m_fStop = 1;
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
                              : WaitForFrame(FrameWaitMs());
        if (wake == Wake::SessionEnd && m_fCarried) {
            // The file and its hold wait for the next session's thread; this session's
            // semaphores go with the session.
            m_fRecording = 0;
            return true;
        }
        if (wake == Wake::Timeout) {
            // Once over, a hold stays over: StartRecord no longer takes the file back.
            std::lock_guard lock(m_FileLock);
            if (!HoldOver()) {
                continue;
            }
        }
        // Stopped, the hold over, the session ended, or the file failed: the file is closed.
        // After a failure the alarm stays pending, so the parser does not open failing file
        // after failing file while the alarm lasts; the alarm's end clears the mark.
        bool holdOver = false;
        if (WriteOrLeave(wake, [&] {
                holdOver = HoldOver();
                if (holdOver) {
                    return false;
                }
                const bool written = first ? WritePreAlarmFrames() : WriteNewestFrame();
                first = false;
                return written;
            })) {
            continue;
        }
        // Only now may the parser start the next recording: the push no longer sees this one.
        if (wake != Wake::Frame || holdOver) {
            m_fAlarmItemPending = 0;
        }
        m_fHolding = false;
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
