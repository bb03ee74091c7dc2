#include "login/login_thread.h"

#include "kernel/kernel_object.h"
#include "kernel/trace_log.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/login.h"
#include "ui/message_ids.h"

namespace {

constexpr std::uint32_t kThreadStopWaitMs = 30;
constexpr std::string_view kSupportedProduct = "Q41E";

struct FailureText {
    LoginFailure code;
    const char* text;
};
constexpr FailureText kFailureTexts[] = {
    {kLoginFailed, "Login procedure failed"},
    {kTooManyUsers, "Too many user"},
    {kDeviceNotSupported, "No support this device"},
};

DialogLoginFailure CommandFailure(const VortaStatus& status) {
    if (status.failure == SendFailure::Status && status.httpStatus == 202) {
        return {kTooManyUsers};
    }
    const LoginCause cause = CommandFailureCause(status, LoginCause::NoSession);
    return {kLoginFailed, cause, cause == LoginCause::DeviceRefused ? status.httpStatus : 0};
}

}  // namespace

const char* LoginFailureText(LoginFailure code) {
    for (const FailureText& f : kFailureTexts) {
        if (f.code == code) {
            return f.text;
        }
    }
    return "";
}

ui::WPARAM LoginResultParam(const DialogLoginFailure& failure) {
    return static_cast<ui::WPARAM>(failure.code) | (static_cast<ui::WPARAM>(failure.cause) << 8);
}

LoginFailure LoginFailureOf(ui::WPARAM wParam) {
    return static_cast<LoginFailure>(wParam & 0xFF);
}

LoginCause LoginCauseOf(ui::WPARAM wParam) {
    return static_cast<LoginCause>((wParam >> 8) & 0xFF);
}

std::string LoginFailureTraceLine(const LoginTexts& texts, const DialogLoginFailure& failure) {
    return "Login to " + texts.host + ":" + texts.port + " as " + texts.user +
           " failed: " + LoginFailureText(failure.code) +
           LoginCauseSuffix(failure.cause, failure.httpStatus);
}

std::optional<std::uint16_t> ParseWebPort(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    std::uint32_t value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
        digits = true;
        if (value > 65535) {
            return std::nullopt;
        }
    }
    if (!digits || value == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<DialogLoginFailure> RunDialogLogin(const LoginTexts& texts) {
    KernelObject& app = *g_lpApp;
    app.CSettingINI.m_strUserName = texts.user;
    app.CSettingINI.m_strPassword = texts.password;
    const auto port = ParseWebPort(texts.port);
    // The typed server is kept even when the port is unusable; the old port stays.
    SetDeviceAddress(texts.host, port.value_or(GetDeviceAddress().webPort));
    if (!port) {
        return DialogLoginFailure{kLoginFailed, LoginCause::PortOutOfRange};
    }

    VortaStatus status;
    LoginReply reply;
    switch (SendLoginRequest(texts.user, texts.password, &status, &reply)) {
        case LoginOutcome::CommandFailed:
            return CommandFailure(status);
        case LoginOutcome::NoSession:
            return DialogLoginFailure{kLoginFailed, LoginCause::NoSession};
        case LoginOutcome::LoggedIn:
            break;
    }
    if (reply.productId && *reply.productId != kSupportedProduct) {
        return DialogLoginFailure{kDeviceNotSupported};
    }
    app.w_LoginResult = kSupervisorLevel;
    return std::nullopt;
}

bool LoginThreads::Start(ui::WindowHandle dialog, const LoginTexts& texts, std::uint32_t attempt) {
    Stop();
    const platform::Handle stopEvent = platform::CreateEventObject(false, false);
    m_hStopEvent = stopEvent;
    m_hLoginThread = platform::StartThread([dialog, texts, attempt, stopEvent] {
        return LoginThreadProc(dialog, texts, attempt, stopEvent);
    });
    if (!m_hLoginThread.Get()) {
        return false;
    }
    m_hAnimateThread = platform::StartThread(
        [dialog, attempt, stopEvent] { return AnimateThreadProc(dialog, attempt, stopEvent); });
    return true;
}

void LoginThreads::Stop() {
    platform::SetEvent(m_hStopEvent);
    platform::StopThread(m_hLoginThread, kThreadStopWaitMs);
    platform::StopThread(m_hAnimateThread, kThreadStopWaitMs);
    // Both threads are joined, so nobody waits on the event any more.
    platform::CloseObject(m_hStopEvent);
}

std::uint32_t LoginThreads::LoginThreadProc(ui::WindowHandle dialog, const LoginTexts& texts,
                                            std::uint32_t attempt, platform::Handle stopEvent) {
    const auto failure = RunDialogLogin(texts);
    const auto tag = static_cast<ui::LPARAM>(attempt);
    if (failure) {
        TraceLogWrite(LoginFailureTraceLine(texts, *failure).c_str());
        platform::SetEvent(stopEvent);
        ui::PostMessage(dialog, ui::WM_LOGINRESULT, LoginResultParam(*failure), tag);
    } else {
        ui::PostMessage(dialog, ui::WM_LOGINSUCCESS, 0, tag);
    }
    return 0;
}

std::uint32_t LoginThreads::AnimateThreadProc(ui::WindowHandle dialog, std::uint32_t attempt,
                                              platform::Handle stopEvent) {
    do {
        ui::PostMessage(dialog, ui::WM_LOGINANIMATE, 0, static_cast<ui::LPARAM>(attempt));
    } while (platform::WaitForObject(stopEvent, kAnimateIntervalMs) == platform::kWaitTimeout);
    return 0;
}
