#include "widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "ui/queued_call.h"

namespace ui {
namespace {

void ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    // Messages carry texts from devices and files: shown as written, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

bool MessageBoxSink::Ask(const std::string& question) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !IsGuiThread()) {
        std::fprintf(stderr, "%s\n", question.c_str());
        return false;
    }
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
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
