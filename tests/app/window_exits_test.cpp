// The main window's About box can be left by OK, the window manager's close and Escape. (The
// main window itself is left in the live-window tests.)

#include "test_support/window_exits.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include "kernel/kernel_object.h"
#include "mainwindow/main_window_dialogs.h"

namespace {

TEST(WindowExitsTest, TheAboutBox) {
    using W = CAboutDlg;
    KernelObject app;
    g_lpApp = &app;
    test_support::LeaveEveryWay<W>(
        [] { return std::make_unique<W>(); }, &W::exec,
        {{"shown", [](W&) {},
          test_support::ButtonCloseEscape<W>(
              "OK", [](W& w) -> QAbstractButton* { return w.findChild<QPushButton*>(); })}});
    g_lpApp = nullptr;
}

}  // namespace
