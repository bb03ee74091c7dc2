#include "config/data_exchange.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollArea>
#include <charconv>

#include "kernel/utilities.h"
#include "ui/message_sink.h"

namespace config {

namespace {

bool Refuse(QLineEdit& edit, const std::string& prompt) {
    ui::ShowMessage(prompt);
    edit.setFocus();
    edit.selectAll();
    // A window drawn larger than the screen scrolls: the field to correct must be in sight.
    for (QWidget* above = edit.parentWidget(); above; above = above->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(above)) {
            area->ensureWidgetVisible(&edit);
        }
    }
    return false;
}

}  // namespace

std::string IntegerPrompt() {
    return "Enter a whole number.";
}

std::string IntegerRangePrompt(int minimum, int maximum) {
    return "Enter a whole number from " + std::to_string(minimum) + " to " +
           std::to_string(maximum) + ".";
}

std::string TextLengthPrompt(int maxChars) {
    return "Enter no more than " + std::to_string(maxChars) + " characters.";
}

bool ExchangeInt(bool save, QLineEdit& edit, int& value, int minimum, int maximum) {
    if (!save) {
        edit.setText(QString::number(value));
        return true;
    }
    const std::string text = edit.text().trimmed().toStdString();
    long long number = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, number);
    if (text.empty() || error != std::errc{} || end != last) {
        return Refuse(edit, IntegerPrompt());
    }
    if (number < minimum || number > maximum) {
        return Refuse(edit, IntegerRangePrompt(minimum, maximum));
    }
    value = static_cast<int>(number);
    return true;
}

bool ExchangeText(bool save, QLineEdit& edit, std::string& value, int maxChars) {
    if (!save) {
        edit.setText(QString::fromStdString(value));
        return true;
    }
    // A text shown from a section and left alone keeps its bytes, also those that are no UTF-8
    // and would come back from the edit changed.
    if (edit.text() == QString::fromStdString(value)) {
        return true;
    }
    const std::string text = edit.text().toStdString();
    if (maxChars > 0 && static_cast<int>(text.size()) > maxChars) {
        return Refuse(edit, TextLengthPrompt(maxChars));
    }
    value = text;
    return true;
}

void ExchangeIndex(bool save, QComboBox& combo, int& index) {
    if (save) {
        index = combo.currentIndex();
    } else {
        combo.setCurrentIndex(index);
    }
}

namespace {

int EditWidthForChars(const QLineEdit& edit, int chars) {
    const QFontMetrics metrics(edit.font());
    // The frame and the text margins take the width of about two more characters.
    return metrics.horizontalAdvance(QString(chars + 2, QChar('n')));
}

}  // namespace

void FitEditToChars(QLineEdit& edit, int chars) {
    edit.setMinimumWidth(EditWidthForChars(edit, chars));
}

void FitEditToValue(QLineEdit& edit, int chars) {
    edit.setMaximumWidth(EditWidthForChars(edit, chars));
}

void ClampNumberOnEdit(QLineEdit& edit, int maximum) {
    QObject::connect(&edit, &QLineEdit::textEdited, &edit, [&edit, maximum](const QString& typed) {
        std::string text = typed.toStdString();
        FilterDigitInput(&text, 1);
        if (!text.empty()) {
            const std::size_t digits = text.find_first_not_of('0');
            // Anything longer than ten digits is above every range these fields have.
            const bool tooLong = digits != std::string::npos && text.size() - digits > 10;
            if (tooLong || std::stoll(text) > maximum) {
                text = std::to_string(maximum);
            }
        }
        if (text != typed.toStdString()) {
            edit.setText(QString::fromStdString(text));
        }
    });
}

}  // namespace config
