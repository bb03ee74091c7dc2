#pragma once

#include <string>

// The login dialog's preset values.
struct LoginPreset {
    std::string server;
    std::string user;
    std::string port;
    std::string bitRate;
};

// The two modal dialogs that start-up runs.
class StartupDialogs {
public:
    static constexpr int kIdOk = 1;

    virtual ~StartupDialogs() = default;
    // kIdOk when the user logged in (w_LoginResult then tells how); anything else ends the
    // program.
    virtual int RunLoginDialog(const LoginPreset& preset) = 0;
    virtual void RunMainWindow() = 0;
};
