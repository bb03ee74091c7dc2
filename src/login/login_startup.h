#pragma once

// The login half of start-up: the login window, preset from the settings, with the neighbouring
// dialogs it can open. The program's start-up adds the main window's half.

#include "login/login_dialog.h"
#include "login/startup_dialogs.h"

// The program derives from it and adds RunMainWindow.
class LoginStartupDialogs : public StartupDialogs {
public:
    explicit LoginStartupDialogs(LoginDialogHooks hooks = {}) : m_hooks(std::move(hooks)) {}

    int RunLoginDialog(const LoginPreset& preset) override;

private:
    LoginDialogHooks m_hooks;
};
