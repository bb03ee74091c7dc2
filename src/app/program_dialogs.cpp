#include "app/program_dialogs.h"

#include "app/process_threads.h"
#include "mainwindow/run_main_window.h"

ProgramStartupDialogs::ProgramStartupDialogs(LiveSessionComponents& components,
                                             LoginDialogHooks hooks)
    : LoginStartupDialogs(std::move(hooks)), m_components(components) {}

void ProgramStartupDialogs::RunMainWindow() {
    ::RunMainWindow({m_components.Pipeline(), m_components.Recorders(),
                     [this] { return ExitLoginResource(m_components) != 0; },
                     [] { return ExitProcessResource() != 0; }});
}

LoginDialogHooks ProgramLoginDialogHooks() {
    return {};
}
