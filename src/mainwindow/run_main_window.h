#pragma once

#include "mainwindow/main_window_services.h"

// Runs the main window of a logged-in session modally until its close sequence ends it. 0 when
// the start-up failed (the user has been told), else the dialog's result.
int RunMainWindow(const MainWindowServices& services);
