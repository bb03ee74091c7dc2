#pragma once

// Dialog data exchange of the configuration pages: moves values between controls and members,
// and on the way in checks them the way the pages' templates ask (a range for numbers, a length
// for texts). A refused value shows its prompt, puts the focus on the control and leaves the
// member as it was.

#include <cstdint>
#include <string>

class QComboBox;
class QLineEdit;

namespace config {

// Integers: with `save` the edit's text must be a whole number within min..max.
bool ExchangeInt(bool save, QLineEdit& edit, int& value, int minimum, int maximum);
// Texts: with `save` a text longer than `maxChars` bytes is refused (0: no limit); an edit still
// showing the member leaves the member's bytes as they are.
bool ExchangeText(bool save, QLineEdit& edit, std::string& value, int maxChars = 0);
// Drop-down lists bound by index: -1 is no selection.
void ExchangeIndex(bool save, QComboBox& combo, int& index);

// The number fields of the row editors and of the picture-adjust dialog: every keystroke keeps
// only the digits, and a number above `maximum` is replaced by `maximum`.
void ClampNumberOnEdit(QLineEdit& edit, int maximum = 255);

// Widens an edit so that a text of `chars` ordinary characters shows whole, not only its tail.
void FitEditToChars(QLineEdit& edit, int chars);
// Keeps a field of one short value (a port, a count) as wide as `chars` characters, so a wide
// page does not stretch it across the window.
void FitEditToValue(QLineEdit& edit, int chars);

// The framework's prompts, in the program's own words.
std::string IntegerPrompt();
std::string IntegerRangePrompt(int minimum, int maximum);
std::string TextLengthPrompt(int maxChars);

}  // namespace config
