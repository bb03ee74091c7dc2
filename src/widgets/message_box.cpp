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
