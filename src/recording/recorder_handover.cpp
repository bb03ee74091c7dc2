#include "recording/recorder_handover.h"

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "ui/message_sink.h"

namespace recording {
namespace {

using platform::kInfinite;
using platform::kWaitObject0;

constexpr std::uint32_t kReplyWaitMs = 500;
constexpr std::uint32_t kThreadStopWaitMs = 10;
constexpr std::uint8_t kRecordMode4 = 4;

}  // namespace

platform::Handle SessionEndEvent() {
    return g_lpApp ? g_lpApp->h_EndofGetJpegImageEvent.Get() : platform::Handle{};
}

void RecorderHandover::NoteFirstFrame(const PreAlarmFrameInfo& info) {
    if (!m_fInfoBlockPending.exchange(false)) {
        return;
    }
    ScheduleRecordHeader block;
    block.abAddress = m_abAddress;
    block.byFirstFrameByte16 = info.byte16;
    block.stCaptureTime = info.stCaptureTime;
    const bool mode4 = g_lpApp && g_lpApp->m_bRecordMode == kRecordMode4;
    block.dwMagic = mode4 ? kScheduleMagicMode4 : kScheduleMagicMode0;
    m_InfoBlock = block;
    OnFirstFrame(info);
}

bool RecorderHandover::CreateHandover() {
    FreeHandover();
    h_FreeSem = platform::CreateSemaphoreObject(1, 1);
    h_ReadySem = platform::CreateSemaphoreObject(0, 1);
    h_StopEvent = platform::CreateEventObject(false, false);
    h_ReplyEvent = platform::CreateEventObject(false, false);
    return h_FreeSem && h_ReadySem && h_StopEvent && h_ReplyEvent;
}

void RecorderHandover::FreeHandover() {
    for (platform::HandleField* field : {&h_FreeSem, &h_ReadySem, &h_StopEvent, &h_ReplyEvent}) {
        platform::CloseObject(*field);
    }
}

bool RecorderHandover::StartRecorderThread(std::function<std::uint32_t()> proc) {
    h_RecordThread = platform::StartThread(std::move(proc));
    return static_cast<bool>(h_RecordThread);
}

bool RecorderHandover::TerminateThread() {
    platform::StopThread(h_RecordThread, kThreadStopWaitMs);
    if (!KeepsFileAcrossSessions()) {
        std::lock_guard lock(m_FileLock);
        if (FileOpen()) {
            CloseFile();
        }
    }
    return true;
}

bool RecorderHandover::ThreadRunning() const {
    const platform::Handle thread = h_RecordThread.Get();
    return thread && platform::WaitForObject(thread, 0) == platform::kWaitTimeout;
}

bool RecorderHandover::WaitForStart(platform::Handle startEvent) {
    const platform::Handle waits[] = {startEvent, SessionEndEvent()};
    return platform::WaitForAnyObject(waits, kInfinite) == kWaitObject0;
}

RecorderHandover::Wake RecorderHandover::WaitForFrame(std::uint32_t timeoutMs) {
    const platform::Handle waits[] = {h_ReadySem, h_StopEvent, SessionEndEvent()};
    switch (platform::WaitForAnyObject(waits, timeoutMs)) {
        case kWaitObject0:
            return Wake::Frame;
        case kWaitObject0 + 1:
            return Wake::Stop;
        case platform::kWaitTimeout:
            return Wake::Timeout;
        default:
            return Wake::SessionEnd;
    }
}

bool RecorderHandover::EnterFrameLoop() {
    std::lock_guard lock(m_FileLock);
    if (!FileOpen()) {
        return false;
    }
    m_fRecording = 1;
    return true;
}

void RecorderHandover::LeaveFrameLoop(bool holdingRing) {
    m_fRecording = 0;
    if (holdingRing) {
        platform::ReleaseSemaphore(h_FreeSem);
        return;
    }
    // A push that saw m_fRecording 1 just before it changed hands over h_ReadySem; one that sees
    // 0 gives h_FreeSem back. Either way exactly one of the two turns up.
    const platform::Handle waits[] = {h_ReadySem, h_FreeSem, SessionEndEvent()};
    const std::uint32_t got = platform::WaitForAnyObject(waits, kInfinite);
    if (got == kWaitObject0 || got == kWaitObject0 + 1) {
        platform::ReleaseSemaphore(h_FreeSem);
    }
}

bool RecorderHandover::WriteOrLeave(Wake wake, const std::function<bool()>& write) {
    bool written = false;
    if (wake == Wake::Frame) {
        std::lock_guard lock(m_FileLock);
        written = write();
    }
    if (written) {
        platform::ReleaseSemaphore(h_FreeSem);
        return true;
    }
    {
        std::lock_guard lock(m_FileLock);
        CloseFile();
    }
    LeaveFrameLoop(wake == Wake::Frame);
    return false;
}

bool RecorderHandover::WriteNewestFrame() {
    // Any frame may begin a file: every frame of the stream is a whole picture.
    if (FileFrameCount() >= kMaxFramesPerFile) {
        CloseFile();
        if (!OpenFile()) {
            return false;
        }
        // The frame that begins the new file has been pushed already.
        NoteFirstFrame(m_Ring.Info(m_Ring.NewestSlot()));
    }
    return WriteSlot(m_Ring.NewestSlot());
}

void RecorderHandover::CloseRecording() {
    {
        std::lock_guard lock(m_FileLock);
        if (!FileOpen()) {
            return;
        }
        if (!m_fRecording) {
            CloseFile();
            return;
        }
    }
    platform::ResetEvent(h_ReplyEvent);
    platform::SetEvent(h_StopEvent);
    if (platform::WaitForObject(h_ReplyEvent, kReplyWaitMs) == kWaitObject0) {
        return;
    }
    // The thread may have left its loop meanwhile without the file (its session ended).
    std::lock_guard lock(m_FileLock);
    if (FileOpen() && !m_fRecording) {
        CloseFile();
    }
}

void RecorderHandover::ReportFailure(const std::string& what, const std::string& reason) {
    {
        std::lock_guard lock(m_FailureLock);
        m_strLastFailure = what;
    }
    TraceLogWrite((what + ": " + reason).c_str());
    if (g_lpApp) {
        if (MainWindowLink* window = g_lpApp->m_pMainDialog.load()) {
            window->ShowStatusText(what);
        }
    }
    ShowFailure(what + ".\n" + reason);
}

void RecorderHandover::ShowFailure(const std::string& text) {
    ui::ShowMessage(text);
}

std::string RecorderHandover::LastFailure() const {
    std::lock_guard lock(m_FailureLock);
    return m_strLastFailure;
}

}  // namespace recording
