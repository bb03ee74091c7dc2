#pragma once

// The login object of the "Connect ..." dialog: its thread logs in, reads the device info and
// posts the result to the dialog.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/sync.h"
#include "protocol/command_sender.h"
#include "protocol/device_reply.h"
#include "ui/window_message.h"

class Login {
public:
    Login() = default;
    ~Login();
    Login(const Login&) = delete;
    Login& operator=(const Login&) = delete;

    // True when the thread was started.
    bool CreateThread();
    // Ends the thread (10 ms, then the late-stop rule) and clears its handle.
    std::uint32_t Stop();
    // The exchange; posts WM_CONNECTRESULT with lParam 1 or -1 to the owner.
    std::uint32_t ThreadProc();

    ui::WindowHandle m_pOwner = 0;
    std::string m_strServer;
    std::string m_strUser;
    std::string m_strPassword;
    std::string m_strPort;
    platform::HandleField m_hThread;
    // Given by the firmware-upgrade dialog to the datagram session sender; not made here.
    platform::HandleField m_hSendEvent;
    platform::HandleField m_hStopEvent;
};

extern Login* g_pLogin;

// Creates the login object unless there is one. Always 1.
std::uint32_t CreateLoginObject();
// Stops and deletes the login object.
void ReleaseLoginObject();

// Why a login or the start-up after it failed, in the words the windows show and trace.log
// keeps.
enum class LoginCause : std::uint8_t {
    None,
    WrongUserOrPassword,  // the device refused the user (status 401 or 403)
    DeviceRefused,        // another status than 200, 202, 401 or 403
    NoSession,            // answered, but with no session in the reply
    NoSuchHost,
    NothingListening,
    Unreachable,
    NoAnswer,
    PortOutOfRange,
    NoAddress,
    BadReply,
    OtherProduct,  // the device info names a product the program does not serve
};

// The cause in words ("nothing listening on that port"); empty for None.
const char* LoginCauseText(LoginCause cause);
// " (cause)" or " (cause, status 404)" to follow a failure's text; empty for None.
std::string LoginCauseSuffix(LoginCause cause, std::int32_t httpStatus);
// The cause of a failed command of a login, from where the sender says it failed. A reply of
// status 200 with nothing in it is `emptyReply`.
LoginCause CommandFailureCause(const VortaStatus& status, LoginCause emptyReply);

// The login exchange shared by the login threads: "/Login.cgi" with the user and password, the
// login reply into the session cookie and KernelObject. The cookie is empty unless it succeeds;
// a refused command leaves its HTTP status in `status`; a successful one leaves the parsed reply in
// `parsed`, for callers that judge its items.
enum class LoginOutcome { CommandFailed, NoSession, LoggedIn };
// A user name or password that a request cannot carry is not sent: CommandFailed.
LoginOutcome SendLoginRequest(const std::string& user, const std::string& password,
                              VortaStatus* status = nullptr, LoginReply* parsed = nullptr);

// The message for a user name or password that a request cannot carry, naming the characters;
// nothing when both can go. The login windows show it before they start a login, the account
// page before it takes an account.
std::optional<std::string> RefusedLoginText(const std::string& user, const std::string& password);

// "/Getdeviceinfo.cgi" with the cookie, resolution and quality; the reply body, or nothing on
// failure or an empty reply (a failed command leaves where it failed in `status`).
std::optional<std::string> SendDeviceInfoRequest(VortaStatus* status = nullptr);
