#include "widgets/field_enter.h"

#include <QDialog>
#include <QKeyEvent>

namespace ui {
namespace {

// Sees a key event at the dialog only when the focused widget left it unhandled: buttons take
// their Enter, fields pass it on.
class FieldEnter : public QObject {
public:
    FieldEnter(QDialog& dialog, std::function<void()> action)
        : QObject(&dialog), m_dialog(dialog), m_action(std::move(action)) {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_dialog || event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) {
            return false;
        }
        event->accept();
        if (m_action) {
            m_action();
        }
        return true;
    }

private:
    QDialog& m_dialog;
    std::function<void()> m_action;
};

}  // namespace

void SetFieldEnterAction(QDialog& dialog, std::function<void()> action) {
    new FieldEnter(dialog, std::move(action));
}

}  // namespace ui
