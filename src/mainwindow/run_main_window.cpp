#include "mainwindow/run_main_window.h"

#include "mainwindow/torvel_dlg.h"

int RunMainWindow(const MainWindowServices& services) {
    CTorvelDlg window(services);
    return window.DoModal();
}
