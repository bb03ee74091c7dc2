#pragma once

// The application object: builds the shared state, runs the login dialog until the user has
// logged in, creates the process and session resources, runs the main window, and releases
// everything in the reverse order.

#include <cstdint>

class SessionComponents;
class StartupDialogs;

// Builds KernelObject into g_lpApp and loads the remote-control protocols. 0 when CtrlFile.ini
// cannot be read (the loader has told the user) or an object cannot be made.
std::uint32_t InitKernelObject();

class CTorvelApp {
public:
    CTorvelApp(SessionComponents& components, StartupDialogs& dialogs);

    // Always false: the program ends when the main window (or the login dialog) closes.
    bool InitInstance();
    // Releases everything start-up made, whatever step it reached; returns the exit code.
    int ExitInstance();

private:
    SessionComponents& m_components;
    StartupDialogs& m_dialogs;
};
