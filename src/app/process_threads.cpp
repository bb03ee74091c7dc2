#include "app/process_threads.h"

#include <initializer_list>
#include <mutex>

#include "app/session_components.h"
#include "app/system_buffers.h"
#include "kernel/kernel_object.h"
#include "kernel/mailbox.h"
#include "kernel/trace_log.h"
#include "platform/thread.h"
#include "protocol/relogin_thread.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

using platform::HandleField;
using platform::kInfinite;
using platform::kWaitObject0;

constexpr const char* kLifeTimeUp = "Life time is Up.Application shutdown later";

// The chains are serialised by a lock that is itself a wait of the platform layer, so a thread
// that is stopped while it waits for the lock gives up instead of holding up its stopper.
class ChainLock {
public:
    ChainLock() : m_fHeld(platform::WaitForObject(Lock(), kInfinite) == kWaitObject0) {}
    ~ChainLock() {
        if (m_fHeld) {
            platform::ReleaseSemaphore(Lock());
        }
    }
    ChainLock(const ChainLock&) = delete;
    ChainLock& operator=(const ChainLock&) = delete;

    explicit operator bool() const { return m_fHeld; }

private:
    static platform::Handle Lock() {
        static std::mutex mutex;
        static platform::Handle lock;
        std::lock_guard guard(mutex);
        if (!lock) {
            lock = platform::CreateSemaphoreObject(1, 1);
        }
        return lock;
    }

    bool m_fHeld;
};

bool MakeEvent(HandleField& field, bool manualReset = false) {
    field = platform::CreateEventObject(manualReset, false);
    return static_cast<bool>(field);
}

bool MakeEvents(std::initializer_list<HandleField*> fields) {
    for (HandleField* field : fields) {
        if (!MakeEvent(*field)) {
            return false;
        }
    }
    return true;
}

bool StartThread(HandleField& field, platform::ThreadProc proc) {
    field = platform::StartThread(std::move(proc));
    return static_cast<bool>(field);
}

void CloseAll(std::initializer_list<HandleField*> fields) {
    for (HandleField* field : fields) {
        platform::CloseObject(*field);
    }
}

bool ThreadRunning(platform::Handle thread) {
    return thread && platform::WaitForObject(thread, 0) == platform::kWaitTimeout;
}

void WithMainWindow(auto action) {
    if (MainWindowLink* window = g_lpApp->m_pMainDialog.load()) {
        action(*window);
    }
}

// Mailbox code 1: the stream broke. Returns false when the dispatcher must end.
bool ServeImageTimeOut(KernelObject& app, SessionComponents& components) {
    components.StopAlarmAndScheduleRecording();
    TraceLogWrite("case Get_Image_TimeOut_Message");
    platform::SetEvent(app.h_Process_Notify_TerminateEvent);
    platform::WaitForObject(app.h_Process_Reply_TerminateEvent, 10'000);
    WithMainWindow([](MainWindowLink& w) {
        w.SetButtonImage(kConnectButtonId, 1);
        w.ClearFrameTexts();
    });
    return RestartReLoginThread([&components] { return components.ReLoginThread(); });
}

// Mailbox code 4: reload the alarm sound with fresh play and stop events.
void ServeReloadAlarmSound(KernelObject& app, SessionComponents& components) {
    platform::SetEvent(app.h_StopAlarmWavEvent);
    if (!components.LoadAlarmWave(app.CSettingINI.m_strTriggerWavPath)) {
        ui::ShowMessage(ui::texts::kLoadAlarmAudioFailed);
        return;
    }
    CloseAll({&app.h_PlayAlarmWavEvent, &app.h_StopAlarmWavEvent});
    if (MakeEvents({&app.h_PlayAlarmWavEvent, &app.h_StopAlarmWavEvent})) {
        components.SetAlarmWavePlayEvent(app.h_PlayAlarmWavEvent);
    }
}

}  // namespace

std::uint32_t InitProcessResource(SessionComponents& components) {
    ChainLock lock;
    KernelObject& app = *g_lpApp;
    if (!lock) {
        return 0;
    }
    app.h_KernelMessagePostSem = platform::CreateSemaphoreObject(0, 1);
    app.h_KernelMessageFreeSem = platform::CreateSemaphoreObject(1, 1);
    if (!app.h_KernelMessagePostSem || !app.h_KernelMessageFreeSem ||
        !MakeEvents({&app.h_Process_Notify_TerminateEvent, &app.h_Process_Reply_TerminateEvent,
                     &app.h_Process_Notify_InitEvent, &app.h_Process_Reply_InitEvent,
                     &app.h_NotifyGetJPEGImageThreadResetEvent, &app.h_FeedBackForNotifyResetEvent,
                     &app.h_TimerEvent})) {
        return 0;
    }
    const bool started =
        StartThread(app.h_Process_Terminate_Thread,
                    [&components] { return Process_Terminate_Thread(components); }) &&
        StartThread(app.h_Process_Init_Thread,
                    [&components] { return Process_Init_Thread(components); }) &&
        StartThread(app.h_Process_KernelMessageThread,
                    [&components] { return Process_KernelMessageThread(components); });
    return started ? 1 : 0;
}

namespace {

// True while any of a session's threads or stream semaphores exist, from the login chain's first
// start to its tear-down.
bool LoginResourcesBuilt(const KernelObject& app) {
    for (const HandleField* field :
         {&app.h_ConnectionThread, &app.h_GetJpegImageThread, &app.h_ComposeImageDataThread,
          &app.h_ShowImageDataThread, &app.h_FreeSocketBufferSem}) {
        if (*field) {
            return true;
        }
    }
    return false;
}

// The login chain's bodies; the caller holds the chain lock.
std::uint32_t InitLoginLocked(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    if (!MakeEvent(app.h_StartToGetJpegImageEvent) ||
        !MakeEvent(app.h_EndofGetJpegImageEvent, true) ||
        !MakeEvents({&app.h_StartConnectionThreadEvent, &app.h_EndConnectionThreadEvent}) ||
        !StartThread(app.h_ConnectionThread, ConnectionThread) ||
        !MakeEvents({&app.h_StartToShowImageEvent, &app.h_EndofShowImageEvent,
                     &app.h_FinishShowImageJobEvent})) {
        return 0;
    }
    app.m_bRecordMode = 0;
    const bool started =
        StartThread(app.h_GetJpegImageThread,
                    [&components] { return components.GetImageThread(); }) &&
        StartThread(app.h_ComposeImageDataThread,
                    [&components] { return components.ComposeThread(); }) &&
        StartThread(app.h_ShowImageDataThread, [&components] { return components.ShowThread(); });
    if (!started) {
        return 0;
    }
    components.StartRecorderThreads(app.m_bRecordMode);
    return 1;
}

std::uint32_t ExitLoginLocked(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    platform::SetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
    platform::SetEvent(app.h_EndofShowImageEvent);
    platform::SetEvent(app.h_EndofGetJpegImageEvent);
    platform::Sleep(100);
    platform::StopThread(app.h_PlayAudioWavThread, 10);
    platform::StopThread(app.h_ConnectionThread, 30);
    // The receive thread is not waited for to answer the close request: it sees the request only
    // between two packets, so one blocked in a receive (a device that stalls, a stream cut in the
    // middle of a frame) never answers. The stop wakes it wherever it waits and it ends as it
    // does for the request; its answer is dropped so a later session's lifetime end does not
    // take it for its own.
    platform::StopThread(app.h_GetJpegImageThread, 500);
    platform::ResetEvent(app.h_FeedBackForNotifyResetEvent);
    platform::StopThread(app.h_ComposeImageDataThread, 30);
    platform::CloseObject(app.h_StartToGetJpegImageEvent);
    platform::ResetEvent(app.h_EndofGetJpegImageEvent);
    platform::CloseObject(app.h_EndofGetJpegImageEvent);
    platform::StopThread(app.h_ShowImageDataThread, 1'000);
    components.StopRecorderThreads();
    CloseAll({&app.h_StartToShowImageEvent, &app.h_EndofShowImageEvent,
              &app.h_FinishShowImageJobEvent, &app.h_StartConnectionThreadEvent,
              &app.h_EndConnectionThreadEvent, &app.h_PlayAlarmWavEvent, &app.h_StopAlarmWavEvent});
    return 1;
}

}  // namespace

std::uint32_t InitLoginResource(SessionComponents& components) {
    ChainLock lock;
    return lock ? InitLoginLocked(components) : 0;
}

std::uint32_t ExitLoginResource(SessionComponents& components) {
    ChainLock lock;
    return lock ? ExitLoginLocked(components) : 0;
}

namespace {

// The session halves of the process threads' work, each in one hold of the chain lock so that a
// tear-down and a rebuild never interleave.
std::uint32_t RebuildSession(SessionComponents& components) {
    ChainLock lock;
    if (!lock) {
        return 0;
    }
    // A session that was never torn down (a disconnect before its stream started) goes first,
    // so its threads are never overwritten by a second set.
    if (LoginResourcesBuilt(*g_lpApp) &&
        (ExitLoginLocked(components) == 0 || FreeSemaphore(components) == 0)) {
        return 0;
    }
    KernelObject& app = *g_lpApp;
    app.m_wSocketWriteIndex = app.m_wSocketReadIndex = app.m_wSocketIndex3 = 0;
    app.w_VortaMp4DecodeIndex = app.m_wDecodeImageIndex = app.m_wSlotIndex3 = 0;
    return InitialSemaphore(components) != 0 && InitLoginLocked(components) != 0 ? 1 : 0;
}

std::uint32_t TearDownSession(SessionComponents& components) {
    ChainLock lock;
    return lock && ExitLoginLocked(components) != 0 && FreeSemaphore(components) != 0 ? 1 : 0;
}

}  // namespace

std::uint32_t ExitProcessResource() {
    ChainLock lock;
    KernelObject& app = *g_lpApp;
    if (!lock) {
        return 0;
    }
    // A dispatcher that has ended frees no slot any more: post the leave message only to a
    // running one, and never wait long for it.
    if (app.h_KernelMessagePostSem && ThreadRunning(app.h_Process_KernelMessageThread)) {
        PostKernelMessage(KMSG_EXIT, 0, 0, 1'000);
    }
    platform::StopThread(app.h_UpgradeFirmwareThread, 10);
    platform::StopThread(app.h_Process_KernelMessageThread, 20);
    platform::StopThread(app.h_ReLoginThread, 30);
    CloseAll({&app.h_DeviceAnswerEvent, &app.h_Process_Notify_TerminateEvent,
              &app.h_Process_Reply_TerminateEvent, &app.h_Process_Notify_InitEvent,
              &app.h_Process_Reply_InitEvent, &app.h_NotifyGetJPEGImageThreadResetEvent,
              &app.h_FeedBackForNotifyResetEvent, &app.h_TimerEvent, &app.h_KernelMessagePostSem,
              &app.h_KernelMessageFreeSem});
    platform::StopThread(app.h_Process_Init_Thread, 500);
    platform::StopThread(app.h_Process_Terminate_Thread, 500);
    return 1;
}

std::uint32_t Process_KernelMessageThread(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    // A failed wait means the mailbox is gone or the thread is being stopped: either way, end.
    while (platform::WaitForObject(app.h_KernelMessagePostSem, kInfinite) == kWaitObject0) {
        switch (app.m_dwKernelMessage) {
            case Get_Image_TimeOut_Message:
                if (!ServeImageTimeOut(app, components)) {
                    platform::ReleaseSemaphore(app.h_KernelMessageFreeSem);
                    return 0;
                }
                break;
            case KMSG_SHOW_FRAME:
                WithMainWindow([](MainWindowLink& w) { w.DrawFrame(); });
                break;
            case KMSG_PLAY_ALARM_SOUND:
                ServeReloadAlarmSound(app, components);
                break;
            case KMSG_STOP_ALARM_SOUND:
                if (app.m_fAlarmWavPlaying.exchange(0)) {
                    platform::SetEvent(app.h_StopAlarmWavEvent);
                }
                break;
            case KMSG_EXIT:
                return 0;
            default:
                break;
        }
        platform::ReleaseSemaphore(app.h_KernelMessageFreeSem);
    }
    return 0;
}

std::uint32_t Process_Terminate_Thread(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    while (platform::WaitForObject(app.h_Process_Notify_TerminateEvent, kInfinite) ==
           kWaitObject0) {
        app.m_fVideoReady = 0;
        app.m_dwLifeTime = kUnlimitedLifeTime;
        platform::SetEvent(app.h_EndofShowImageEvent);
        platform::SetEvent(app.h_EndofGetJpegImageEvent);
        platform::SetEvent(app.h_EndConnectionThreadEvent);
        if (TearDownSession(components) == 0) {
            return 0;
        }
        platform::SetEvent(app.h_Process_Reply_TerminateEvent);
    }
    return 0;
}

std::uint32_t Process_Init_Thread(SessionComponents& components) {
    KernelObject& app = *g_lpApp;
    while (platform::WaitForObject(app.h_Process_Notify_InitEvent, kInfinite) == kWaitObject0) {
        if (RebuildSession(components) == 0) {
            return 0;
        }
        platform::ResetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
        platform::ResetEvent(app.h_EndofShowImageEvent);
        platform::SetEvent(app.h_Process_Reply_InitEvent);
    }
    return 0;
}

std::uint32_t ConnectionThread() {
    KernelObject& app = *g_lpApp;
    app.m_dwLifeTimeSeconds = 0;
    if (platform::WaitForObject(app.h_StartConnectionThreadEvent, kInfinite) != kWaitObject0 ||
        !platform::Sleep(1'000)) {
        return 0;
    }
    const std::uint32_t lifeTime = app.m_dwLifeTime;
    if (lifeTime == kUnlimitedLifeTime) {
        return 0;
    }
    // In 64 bits: a huge lifetime must not wrap into a session of a few seconds.
    const std::uint64_t seconds = std::uint64_t{lifeTime} * 60;
    app.m_dwLifeTimeSeconds = 1;
    while (app.m_dwLifeTimeSeconds < seconds) {
        if (platform::WaitForObject(app.h_EndConnectionThreadEvent, 1'000) !=
            platform::kWaitTimeout) {
            return 0;
        }
        ++app.m_dwLifeTimeSeconds;
    }
    platform::SetEvent(app.h_NotifyGetJPEGImageThreadResetEvent);
    platform::WaitForObject(app.h_FeedBackForNotifyResetEvent, 5'000);
    WithMainWindow([](MainWindowLink& w) {
        w.ClearFrameTexts();
        w.ShowStatusText(kLifeTimeUp);
    });
    if (!platform::Sleep(1'000)) {
        return 0;
    }
    ui::PostMessage(app.h_MainDialogHandle, ui::WM_LIFETIMEEXPIRED, 0, 0);
    return 0;
}
