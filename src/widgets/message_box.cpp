#include "widgets/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace ui {
namespace {

void ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok);
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
        QMetaObject::invokeMethod(
            app, [text] { ShowBox(text); }, Qt::QueuedConnection);
    }
}

}  // namespace ui
