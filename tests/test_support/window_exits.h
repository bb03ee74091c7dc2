#pragma once

// Leaving a window from every state it can be in, by every way out the user has. Each case opens
// the window modally as the program does, puts it into a state once it is shown, takes one way
// out with real keys on the focused widget and checks that the window is gone. A way that may be
// refused in that state (a box names a field, the window swallows Escape) must at least leave
// the window to the window manager's close afterwards; a window that even that leaves open
// traps its user and fails the case.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "test_support/pump.h"

namespace test_support {

template <class D>
struct WindowExit {
    std::string name;
    std::function<void(D&)> take;
    // False where the way may rightly keep the window open in this state.
    bool leaves = true;
};

template <class D>
struct WindowState {
    std::string name;
    // Runs once the window is shown; puts it into the state (types, presses, waits).
    std::function<void(D&)> enter;
    std::vector<WindowExit<D>> exits;
};

// Where the keyboard's keys go: the focused widget, else the active window itself.
inline QWidget* KeyTarget() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : QApplication::activeWindow();
}

// Sends a key press and release where the keyboard sends it.
inline void KeyToFocus(Qt::Key key) {
    QWidget* target = KeyTarget();
    ASSERT_NE(target, nullptr) << "no window is active";
    QTest::keyClick(target, key);
}

// Types `text` into whatever has the focus.
inline void TypeToFocus(const QString& text) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the focus";
    QTest::keyClicks(focus, text);
}

// A button of the window, reached as by Tab and pressed with Space.
template <class D>
WindowExit<D> PressButton(std::string name, std::function<QAbstractButton*(D&)> button,
                          bool leaves = true) {
    return {std::move(name),
            [button](D& dialog) {
                QAbstractButton* target = button(dialog);
                ASSERT_TRUE(target->isVisible() && target->isEnabled())
                    << "the button is out of reach";
                target->setFocus(Qt::TabFocusReason);
                ASSERT_EQ(QApplication::focusWidget(), target);
                QTest::keyClick(target, Qt::Key_Space);
            },
            leaves};
}

// The window manager's close (the title bar's close box, Alt+F4): a close event to the window.
template <class D>
WindowExit<D> CloseByWindowManager() {
    return {"the window manager's close", [](D& dialog) { dialog.close(); }, true};
}

template <class D>
WindowExit<D> PressEscape(bool leaves = true) {
    return {"Escape",
            [](D& dialog) {
                QWidget* target = KeyTarget();
                QTest::keyClick(target != nullptr ? target : &dialog, Qt::Key_Escape);
            },
            leaves};
}

// Runs every state with every way out on a fresh window made by `make` and run by `run` (its
// DoModal).
template <class D>
void LeaveEveryWay(const std::function<std::unique_ptr<D>()>& make,
                   const std::function<int(D&)>& run, const std::vector<WindowState<D>>& states) {
    for (const WindowState<D>& state : states) {
        for (const WindowExit<D>& exit : state.exits) {
            SCOPED_TRACE(state.name + ", " + exit.name);
            std::unique_ptr<D> window = make();
            D& dialog = *window;
            bool acted = false;
            QTimer::singleShot(0, &dialog, [&] {
                acted = true;
                if (!PumpUntil([&] { return dialog.isVisible() && dialog.isActiveWindow(); })) {
                    ADD_FAILURE() << "the window did not come up";
                    dialog.done(-100);
                    return;
                }
                state.enter(dialog);
                if (!dialog.isVisible()) {
                    ADD_FAILURE() << "the window left while it was put into the state";
                    return;
                }
                exit.take(dialog);
                if (exit.leaves) {
                    PumpUntil([&] { return !dialog.isVisible(); });
                } else {
                    QApplication::processEvents();
                }
                if (!dialog.isVisible()) {
                    return;
                }
                if (exit.leaves) {
                    ADD_FAILURE() << "this way out left the window open";
                }
                dialog.close();
                PumpUntil([&] { return !dialog.isVisible(); });
                if (dialog.isVisible()) {
                    ADD_FAILURE() << "trapped: not even the window manager's close leaves it";
                    dialog.done(-100);
                }
            });
            run(dialog);
            EXPECT_TRUE(acted) << "the window was never shown";
            EXPECT_FALSE(dialog.isVisible());
        }
    }
}

// The usual three ways out of a window whose button `name` leaves it.
template <class D>
std::vector<WindowExit<D>> ButtonCloseEscape(std::string name,
                                             std::function<QAbstractButton*(D&)> button) {
    return {PressButton<D>(std::move(name), std::move(button)), CloseByWindowManager<D>(),
            PressEscape<D>()};
}

}  // namespace test_support
