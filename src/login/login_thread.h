#pragma once

// The login dialog's two workers: the login thread sends "/Login.cgi" with the typed texts and
// posts the outcome; the animation thread posts a tick every 350 ms until its stop event is
// signalled. Both tag every message with the number of the attempt that started them, so a
// result that arrives after the user connected again is recognised as stale and dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sync.h"
#include "protocol/login.h"
#include "ui/window_message.h"

// wParam of WM_LOGINRESULT.
enum LoginFailure : ui::WPARAM {
    kLoginFailed = 1,
    kTooManyUsers = 2,
    kDeviceNotSupported = 3,
};

struct DialogLoginFailure {
    LoginFailure code = kLoginFailed;
    LoginCause cause = LoginCause::None;
    std::int32_t httpStatus = 0;  // the refusing status of DeviceRefused
};

// The window's text of a failure code ("Login procedure failed" ...); empty for an unknown code.
const char* LoginFailureText(LoginFailure code);

// wParam of WM_LOGINRESULT: the failure code in the low byte, the cause in the byte above it.
ui::WPARAM LoginResultParam(const DialogLoginFailure& failure);
LoginFailure LoginFailureOf(ui::WPARAM wParam);
LoginCause LoginCauseOf(ui::WPARAM wParam);

// The texts of the login dialog's edits.
struct LoginTexts {
    std::string host;
    std::string user;
    std::string password;
    std::string port;
};

inline constexpr std::uint16_t kSupervisorLevel = 30;
inline constexpr std::uint32_t kAnimateIntervalMs = 350;

// The web port typed as decimal text (leading blanks, digits up to the first other character).
// Nothing when there are no digits or the number is not a TCP port (1 to 65535): a port that
// would be cut down to 16 bits names another port.
std::optional<std::uint16_t> ParseWebPort(std::string_view text);

// The login exchange of the dialog: stores the texts in the settings, logs in, keeps the reply's
// items and sets w_LoginResult to 30. Nothing on success, else the failure and its cause. Shows
// no box.
std::optional<DialogLoginFailure> RunDialogLogin(const LoginTexts& texts);

// The trace.log line of a failed login: where to, as whom, the window's text and the cause. The
// password is never written.
std::string LoginFailureTraceLine(const LoginTexts& texts, const DialogLoginFailure& failure);

// One attempt's pair of threads and their stop event. Start stops the previous pair first (each
// is asked to stop, waited for 30 ms and joined; none is ever killed).
class LoginThreads {
public:
    LoginThreads() = default;
    ~LoginThreads() { Stop(); }
    LoginThreads(const LoginThreads&) = delete;
    LoginThreads& operator=(const LoginThreads&) = delete;

    // Starts attempt `attempt` reporting to `dialog`. False when the login thread could not be
    // started; the animation thread then is not started either.
    bool Start(ui::WindowHandle dialog, const LoginTexts& texts, std::uint32_t attempt);
    void Stop();

    // Thread bodies; lParam of every message they post is `attempt`.
    static std::uint32_t LoginThreadProc(ui::WindowHandle dialog, const LoginTexts& texts,
                                         std::uint32_t attempt, platform::Handle stopEvent);
    static std::uint32_t AnimateThreadProc(ui::WindowHandle dialog, std::uint32_t attempt,
                                           platform::Handle stopEvent);

private:
    platform::HandleField m_hLoginThread;
    platform::HandleField m_hAnimateThread;
    platform::HandleField m_hStopEvent;
};
