#pragma once

// The keyboard rule of every window: Space or Enter on a focused button presses that button (the
// skinned button and the push button take the key themselves), and Enter typed in a field does
// the window's own field action, or nothing. Without this rule a dialog presses on Enter from a
// field whichever button it made its default on its own, such as EXIT, which discards.

#include <functional>

class QDialog;

namespace ui {

// Enter that reaches `dialog` from a field (or with no focus in it) runs `action`; an empty
// action swallows it. The dialog's Escape and its other keys stay as they are.
void SetFieldEnterAction(QDialog& dialog, std::function<void()> action = {});

}  // namespace ui
