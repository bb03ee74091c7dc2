#include "protocol/relogin_thread.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <string>

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/device_reply.h"
#include "protocol/login.h"
#include "protocol/session.h"
#include "ui/message_ids.h"

namespace {

// Status codes of the main window's status line.
enum StatusCode : ui::LPARAM {
    kStatusWaited = 0,
    kStatusStartLogin = 1,
    kStatusAttemptFailed = 3,
    kStatusSessionUp = 5,
    kStatusDisconnected = 6,
    kStatusTooManyUsers = 7,
};

constexpr const char* kStartLogin = "Start login";
constexpr std::uint16_t kLoginRepeat = 100;
constexpr std::uint16_t kTooManyUsers = 102;
constexpr std::uint16_t kLoggedIn = 30;
constexpr int kTooManyUsersStatus = 202;

// The waits between attempts: the pause after a refusal for too many users, the one after every
// failed attempt, the first back-off, and the one before the next attempt.
constexpr std::uint32_t kTooManyUsersPauseMs = 20'000;
constexpr std::uint32_t kAfterFailureMs = 3'000;
constexpr std::uint32_t kBackOffStepMs = 3'000;
constexpr std::uint32_t kBeforeAttemptMs = 2'000;
// A device that refused the stream for another reason, or whose stream is out of step at every
// reconnect, is given as long as one that has too many users, so none is asked more often.
constexpr std::uint32_t kRefusedStreamPauseMs =
    kTooManyUsersPauseMs + kAfterFailureMs + kBackOffStepMs + kBeforeAttemptMs;

void PostStatus(StatusCode code, ui::WPARAM wParam = 0) {
    ui::PostMessage(g_lpApp->h_MainDialogHandle, ui::WM_SHOWSTATUS, wParam, code);
}

void WithMainWindow(auto action) {
    if (MainWindowLink* window = g_lpApp->m_pMainDialog.load()) {
        action(*window);
    }
}

bool LoggedIn(std::uint16_t result) {
    return result == 30 || result == 20 || result == 10 || result == 0;
}

// One login attempt. True when the session is up.
bool Attempt(KernelObject& app) {
    app.w_LoginResult = kLoginRepeat;
    const ::CSettingINI& settings = app.CSettingINI;
    TraceLogWrite("Start send login command");

    // The sender puts a resolved address in place of a name; a failed attempt gives the name back
    // so the next one resolves it again.
    const DeviceAddress before = GetDeviceAddress();
    VortaStatus status;
    const LoginOutcome outcome =
        SendLoginRequest(settings.m_strUserName, settings.m_strPassword, &status);
    if (outcome == LoginOutcome::CommandFailed) {
        app.w_LoginResult = status.httpStatus == 202 ? kTooManyUsers : kLoginRepeat;
        TraceLogWrite("login failed");
        if (IsDottedAddress(before.server) != 2) {
            SetDeviceAddress(before.server, GetDeviceAddress().webPort);
        }
        return false;
    }
    TraceLogWrite("login success");
    if (outcome == LoginOutcome::NoSession) {
        return false;
    }
    app.w_LoginResult = kLoggedIn;
    app.m_wUserLevel = kLoggedIn;
    if (!LoggedIn(app.w_LoginResult)) {
        return false;
    }

    TraceLogWrite("start to send get device info command");
    const auto info = SendDeviceInfoRequest();
    TraceLogWrite(info ? "Command success" : "Command failed");
    if (!info) {
        return false;
    }
    const DeviceInfoReply parsed = ParseDeviceInfoReply(*info);
    StoreDeviceInfo(parsed);
    FillDeviceList(parsed);
    app.m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    PostStatus(kStatusSessionUp);
    WithMainWindow([](MainWindowLink& w) { w.ReapplyLayout(); });
    app.m_fStatus8 = 0;
    platform::SetEvent(app.h_Process_Notify_InitEvent);
    platform::WaitForObject(app.h_Process_Reply_InitEvent, 5'000);
    if (RecordingLink* recording = app.m_pRecording.load();
        recording && recording->ResumeUserRecord()) {
        WithMainWindow([](MainWindowLink& w) { w.SetButtonImage(kRecordButtonId, 1); });
    }
    if (!platform::Sleep(2'000)) {
        return true;
    }
    TraceLogWrite("Send start event");
    platform::SetEvent(app.h_StartConnectionThreadEvent);
    platform::SetEvent(app.h_StartToGetJpegImageEvent);
    return true;
}

}  // namespace

std::string RefusedStreamText(std::uint16_t status, std::uint32_t retrySeconds) {
    std::string text = "The device refused the video stream";
    if (status != 0) {
        text += " (status " + std::to_string(status) + ")";
    }
    return text + ". Trying again in " + std::to_string(retrySeconds) + " s";
}

std::string OutOfStepStreamText(const char* reason, std::uint32_t retrySeconds) {
    return std::string("The device's video stream is out of step (") + reason +
           "). Trying again in " + std::to_string(retrySeconds) + " s";
}

void StoreDeviceInfo(const DeviceInfoReply& reply) {
    KernelObject& app = *g_lpApp;
    if (reply.lifeTime) {
        app.m_dwLifeTime = *reply.lifeTime;
    }
    if (reply.videoMode) {
        app.m_bVideoMode = static_cast<std::uint8_t>(*reply.videoMode);
    }
    if (reply.userLevel) {
        app.m_wUserLevel = static_cast<std::uint16_t>(*reply.userLevel);
    }
    if (reply.bootVersion) {
        app.m_strBootVersion = *reply.bootVersion;
    }
    if (reply.codecVersion) {
        app.m_strCodecVersion = *reply.codecVersion;
    }
    if (reply.fpgaVersion) {
        app.m_strFPGAVersion = *reply.fpgaVersion;
    }
}

void FillDeviceList(const DeviceInfoReply& reply) {
    CDeviceList& list = g_lpApp->m_DeviceList;
    if (reply.linkDevice) {
        list.Add(0, 0, static_cast<std::uint8_t>(*reply.linkDevice), CDeviceList::kMasterKind);
    }
    if (reply.retr) {
        list.Clear();
        list.Add(0, 0, KLM300_DVR, CDeviceList::kMasterKind);
        list.SetRetrState(static_cast<std::uint8_t>(*reply.retr));
    }
    for (const PeripheralInfo& p : reply.peripherals) {
        list.Add(2400, static_cast<std::uint8_t>(p.id), static_cast<std::uint8_t>(p.type),
                 CDeviceList::kPeripheralKind);
    }
}

bool RestartReLoginThread(platform::ThreadProc body) {
    static std::mutex turn;
    std::lock_guard lock(turn);
    KernelObject& app = *g_lpApp;
    platform::StopThread(app.h_ReLoginThread, 30);
    if (!body) {
        return true;
    }
    app.h_ReLoginThread = platform::StartThread(std::move(body));
    return static_cast<bool>(app.h_ReLoginThread);
}

std::uint32_t LoginThread() {
    KernelObject& app = *g_lpApp;
    const std::uint32_t start = platform::GetTickCount();
    std::uint64_t failedAttempts = 0;
    app.m_fStreamThreadsRunning = 0;
    app.m_fStatus8 = 0;
    app.m_fConnected = 1;
    app.m_bHotPointMode = 1;
    WithMainWindow([](MainWindowLink& w) { w.ClearIndicatorText(); });
    PostStatus(kStatusStartLogin, reinterpret_cast<ui::WPARAM>(kStartLogin));
    if (!app.m_DeviceList.IsCurrentMaster()) {
        WithMainWindow([](MainWindowLink& w) { w.SetButtonImage(kPtzControlButtonId, 0); });
    }
    app.m_DeviceList.Clear();

    // Every sleep ends early when the thread is asked to stop; the thread then ends.
    for (;;) {
        // A device that refused the last stream, or whose stream lost its step a second time,
        // would do so again: the session waits as one refused for too many users does instead
        // of logging in every few seconds. Only a device with too many users gets that text; the
        // others are told why, with the time of the next attempt.
        const bool refused = app.m_fStreamRefused.exchange(0) != 0;
        const std::uint16_t status = app.m_wStreamRefusedStatus;
        const char* outOfStep = app.m_pStreamOutOfStep.exchange(nullptr);
        if (refused && status == kTooManyUsersStatus) {
            app.w_LoginResult = kTooManyUsers;
        } else if (refused || outOfStep != nullptr) {
            constexpr std::uint32_t kSeconds = kRefusedStreamPauseMs / 1000;
            const std::string text = refused ? RefusedStreamText(status, kSeconds)
                                             : OutOfStepStreamText(outOfStep, kSeconds);
            TraceLogWrite(text.c_str());
            WithMainWindow([&text](MainWindowLink& w) { w.ShowStatusText(text); });
            if (!platform::Sleep(kRefusedStreamPauseMs)) {
                return 0;
            }
            PostStatus(kStatusStartLogin, reinterpret_cast<ui::WPARAM>(kStartLogin));
            continue;
        } else if (Attempt(app)) {
            // The session is up and this thread's work done: nothing will wait for it, so it
            // does not keep a handle, and with it a thread and a descriptor, until the next
            // re-login or the close.
            platform::CloseOwnHandle(app.h_ReLoginThread);
            return 0;
        }
        if (app.w_LoginResult == kTooManyUsers) {
            PostStatus(kStatusTooManyUsers);
            if (!platform::Sleep(kTooManyUsersPauseMs)) {
                return 0;
            }
        }
        if (!platform::Sleep(kAfterFailureMs)) {
            return 0;
        }
        const std::uint32_t elapsed = (platform::GetTickCount() - start) / 1000;
        PostStatus(kStatusAttemptFailed);
        const std::uint64_t wait =
            std::min<std::uint64_t>((failedAttempts / 2000 + 1) * kBackOffStepMs, 30'000);
        if (!platform::Sleep(static_cast<std::uint32_t>(wait))) {
            return 0;
        }
        ++failedAttempts;
        PostStatus(kStatusWaited, elapsed);
        PostStatus(kStatusDisconnected);
        if (!platform::Sleep(kBeforeAttemptMs)) {
            return 0;
        }
        PostStatus(kStatusStartLogin, reinterpret_cast<ui::WPARAM>(kStartLogin));
    }
}
