#pragma once

// The two modal windows of the program's start-up: the login window and, once logged in, the
// main window of the session.

#include "app/live_session_components.h"
#include "login/login_startup.h"

class ProgramStartupDialogs final : public LoginStartupDialogs {
public:
    ProgramStartupDialogs(LiveSessionComponents& components, LoginDialogHooks hooks);

    void RunMainWindow() override;

private:
    LiveSessionComponents& m_components;
};

// The neighbouring windows the login window opens.
LoginDialogHooks ProgramLoginDialogHooks();
