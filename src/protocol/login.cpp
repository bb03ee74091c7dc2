#include "protocol/login.h"

#include <array>

#include "kernel/kernel_object.h"
#include "platform/thread.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/device_reply.h"
#include "protocol/relogin_thread.h"
#include "protocol/session.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

Login* g_pLogin = nullptr;

namespace {

struct CauseText {
    LoginCause cause;
    const char* text;
};
constexpr CauseText kCauseTexts[] = {
    {LoginCause::WrongUserOrPassword, "wrong user name or password"},
    {LoginCause::DeviceRefused, "the device refused the login"},
    {LoginCause::NoSession, "no session in the device's answer"},
    {LoginCause::NoSuchHost, "no such host"},
    {LoginCause::NothingListening, "nothing listening on that port"},
    {LoginCause::Unreachable, "the host cannot be reached"},
    {LoginCause::NoAnswer, "no answer from the device"},
    {LoginCause::PortOutOfRange, "port out of range 1 to 65535"},
    {LoginCause::NoAddress, "no device address given"},
    {LoginCause::BadReply, "an answer the program cannot read"},
    {LoginCause::OtherProduct, "a device of another product"},
};

// Where the sender failed, and the cause the user is told.
struct FailureCause {
    SendFailure failure;
    LoginCause cause;
};
constexpr FailureCause kFailureCauses[] = {
    {SendFailure::NoAddress, LoginCause::NoAddress},
    {SendFailure::NoSuchHost, LoginCause::NoSuchHost},
    {SendFailure::Refused, LoginCause::NothingListening},
    {SendFailure::Unreachable, LoginCause::Unreachable},
    {SendFailure::NoAnswer, LoginCause::NoAnswer},
    {SendFailure::BadReply, LoginCause::BadReply},
};

constexpr std::size_t kLoginReplyCapacity = 1024;
constexpr std::size_t kDeviceInfoReplyCapacity = 2048;

std::optional<std::string> Exchange(const CCgiRequest& request, std::size_t capacity,
                                    VortaStatus* status = nullptr) {
    std::string body(capacity, '\0');
    std::uint32_t length = 0;
    if (VortaSendCommand(request.Command(), request.Url(), nullptr, 0, status, body.data(),
                         static_cast<std::uint32_t>(body.size()), &length) == 0 ||
        length == 0) {
        return std::nullopt;
    }
    body.resize(length);
    return body;
}

void StoreLoginReply(const LoginReply& reply) {
    KernelObject& app = *g_lpApp;
    g_szSessionCookie.Set(reply.sessionId);
    if (reply.firmwareVersion) {
        app.m_strFirmwareVersion = *reply.firmwareVersion;
    }
    if (reply.productId) {
        app.m_DeviceID[0].text = *reply.productId;
    }
    if (reply.macAddress) {
        std::copy(reply.macAddress->begin(), reply.macAddress->end(),
                  app.m_DeviceID[0].bytes.begin());
    }
    if (reply.hostName) {
        app.m_DeviceID[1].text = *reply.hostName;
    }
}

}  // namespace

const char* LoginCauseText(LoginCause cause) {
    for (const CauseText& c : kCauseTexts) {
        if (c.cause == cause) {
            return c.text;
        }
    }
    return "";
}

std::string LoginCauseSuffix(LoginCause cause, std::int32_t httpStatus) {
    if (cause == LoginCause::None) {
        return {};
    }
    std::string suffix = std::string(" (") + LoginCauseText(cause);
    if (httpStatus != 0) {
        suffix += ", status " + std::to_string(httpStatus);
    }
    return suffix + ")";
}

LoginCause CommandFailureCause(const VortaStatus& status, LoginCause emptyReply) {
    if (status.failure == SendFailure::Status) {
        // The statuses a device refuses a user or a password with.
        return status.httpStatus == 401 || status.httpStatus == 403
                   ? LoginCause::WrongUserOrPassword
                   : LoginCause::DeviceRefused;
    }
    for (const FailureCause& f : kFailureCauses) {
        if (f.failure == status.failure) {
            return f.cause;
        }
    }
    return emptyReply;
}

LoginOutcome SendLoginRequest(const std::string& user, const std::string& password,
                              VortaStatus* status, LoginReply* parsed) {
    CCgiRequest request(CGI_LOGIN);
    request.AddParam("Username", user);
    request.AddParam("Password", password);
    g_szSessionCookie.Clear();
    const auto body = Exchange(request, kLoginReplyCapacity, status);
    if (!body) {
        return LoginOutcome::CommandFailed;
    }
    const auto reply = ParseLoginReply(*body);
    if (!reply) {
        return LoginOutcome::NoSession;
    }
    StoreLoginReply(*reply);
    if (parsed) {
        *parsed = *reply;
    }
    return LoginOutcome::LoggedIn;
}

std::optional<std::string> RefusedLoginText(const std::string& user, const std::string& password) {
    const struct {
        const char* label;
        const std::string& text;
    } fields[] = {{"user name", user}, {"password", password}};
    for (const auto& field : fields) {
        const std::string refused = UncarriableCharacters(field.text);
        if (!refused.empty()) {
            return std::string("The ") + field.label +
                   " holds characters that cannot be sent to the device: " +
                   NameCharacters(refused) + ".";
        }
    }
    return std::nullopt;
}

std::optional<std::string> SendDeviceInfoRequest(VortaStatus* status) {
    CCgiRequest request(CGI_GETDEVICEINFO);
    if (!g_szSessionCookie.Empty()) {
        request.AddParam("Cookie", g_szSessionCookie.Get());
    }
    const ::CSettingINI& settings = g_lpApp->CSettingINI;
    request.AddParamInt("RES", static_cast<int>(settings.m_nResolution));
    request.AddParamInt("QUA", static_cast<int>(settings.m_nQuality));
    return Exchange(request, kDeviceInfoReplyCapacity, status);
}

Login::~Login() {
    platform::SetEvent(m_hStopEvent);
    Stop();
}

bool Login::CreateThread() {
    m_hThread = platform::StartThread([this] { return ThreadProc(); });
    return static_cast<bool>(m_hThread);
}

std::uint32_t Login::Stop() {
    platform::StopThread(m_hThread, 10);
    return 1;
}

std::uint32_t Login::ThreadProc() {
    const auto finish = [this](bool success) {
        ui::PostMessage(m_pOwner, ui::WM_CONNECTRESULT, 0, success ? 1 : -1);
        return success ? 1u : 0u;
    };
    if (m_strUser.empty() || m_strPassword.empty()) {
        ui::ShowMessage(ui::texts::kUserOrPasswordWrong);
        // The dialog waits for a result whatever went wrong.
        return finish(false);
    }
    SetDeviceAddress(m_strServer, static_cast<std::uint16_t>(ReplyAtoi(m_strPort)));

    std::optional<std::string> info;
    if (SendLoginRequest(m_strUser, m_strPassword) == LoginOutcome::LoggedIn) {
        info = SendDeviceInfoRequest();
    }
    if (!info) {
        finish(false);
        ui::ShowMessage(ui::texts::kLoginError);
        return 0;
    }
    StoreDeviceInfo(ParseDeviceInfoReply(*info));
    return finish(true);
}

std::uint32_t CreateLoginObject() {
    if (!g_pLogin) {
        g_pLogin = new Login;
    }
    return 1;
}

void ReleaseLoginObject() {
    delete g_pLogin;
    g_pLogin = nullptr;
}
