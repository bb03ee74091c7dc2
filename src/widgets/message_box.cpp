#include "widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "ui/queued_call.h"

namespace ui {
namespace {

// Boxes carry texts from devices and files and names the user chose (a folder, a file): shown as
// written, never as markup.
int RunBox(QMessageBox::Icon icon, const std::string& text, QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton chosen) {
    QMessageBox box(icon, QApplication::applicationName(), QString::fromStdString(text), buttons);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(chosen);
    return box.exec();
}

void ShowBox(const std::string& text) {
    RunBox(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace

bool MessageBoxSink::Ask(const std::string& question) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !IsGuiThread()) {
        std::fprintf(stderr, "%s\n", question.c_str());
        return false;
    }
    return RunBox(QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                  QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxSink::Show(const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app)) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    if (IsGuiThread()) {
        ShowBox(text);
    } else {
        PostCall(app, [text] { ShowBox(text); });
    }
}

}  // namespace ui
