#include "ui/message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <atomic>
#include <cstdio>

#include "ui/string_table.h"

namespace ui {
namespace {

std::atomic<MessageSink*> g_sink{nullptr};

void ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace

bool IsGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void SetMessageSink(MessageSink* sink) {
    g_sink.store(sink);
}

MessageSink* CurrentMessageSink() {
    return g_sink.load();
}

void ShowMessage(const std::string& text) {
    if (MessageSink* sink = g_sink.load()) {
        sink->Show(text);
        return;
    }
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

void ShowMessage(std::uint32_t stringId) {
    ShowMessage(LoadString(stringId));
}

}  // namespace ui
