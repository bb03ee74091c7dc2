#include "widgets/field_enter.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <map>

#include "test_support/pump.h"
#include "widgets/vtx_button.h"

namespace {

// A window as the user meets it: a field, two push buttons (Qt makes the first its default by
// itself) and a skinned button. Enter from the field runs the window's action or nothing, never
// a button; Enter on a focused button presses that one.
TEST(FieldEnter, EnterInAFieldRunsTheWindowsActionAndOnAButtonPressesThatButton) {
    for (const bool withAction : {true, false}) {
        SCOPED_TRACE(withAction ? "with an action" : "without");
        QDialog dialog;
        auto* field = new QLineEdit(&dialog);
        auto* first = new QPushButton("FIRST", &dialog);
        auto* second = new QPushButton("SECOND", &dialog);
        auto* skinned = new ui::CVtxButton(&dialog);
        skinned->setText("SKINNED");
        auto* layout = new QVBoxLayout(&dialog);
        std::map<QAbstractButton*, int> clicks;
        for (QAbstractButton* button :
             {static_cast<QAbstractButton*>(first), static_cast<QAbstractButton*>(second),
              static_cast<QAbstractButton*>(skinned)}) {
            layout->addWidget(button);
            QObject::connect(button, &QAbstractButton::clicked,
                             [&clicks, button] { ++clicks[button]; });
        }
        layout->addWidget(field);
        int actions = 0;
        ui::SetFieldEnterAction(dialog, withAction ? std::function<void()>([&] { ++actions; })
                                                   : std::function<void()>());
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(test_support::PumpUntil([&] { return dialog.isActiveWindow(); }, 5'000));

        const struct {
            const char* name;
            QWidget* focus;
            int key;
            QAbstractButton* pressed;  // none: the window's action
        } cases[] = {
            {"Enter in the field", field, Qt::Key_Return, nullptr},
            {"keypad Enter in the field", field, Qt::Key_Enter, nullptr},
            {"Enter on the first button", first, Qt::Key_Return, first},
            {"Enter on the second button", second, Qt::Key_Return, second},
            {"Enter on the skinned button", skinned, Qt::Key_Enter, skinned},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            clicks.clear();
            actions = 0;
            c.focus->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(QApplication::focusWidget(), c.focus);
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QApplication::sendEvent(c.focus, &press);
            QKeyEvent release(QEvent::KeyRelease, c.key, Qt::NoModifier);
            QApplication::sendEvent(c.focus, &release);
            EXPECT_EQ(actions, c.pressed == nullptr && withAction ? 1 : 0);
            std::map<QAbstractButton*, int> expected;
            if (c.pressed != nullptr) {
                expected[c.pressed] = 1;
            }
            EXPECT_EQ(clicks, expected);
            EXPECT_TRUE(dialog.isVisible());
        }
    }
}

}  // namespace
