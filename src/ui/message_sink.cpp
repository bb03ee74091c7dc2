#include "ui/message_sink.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdio>

#include "ui/string_table.h"

namespace ui {
namespace {

std::atomic<MessageSink*> g_sink{nullptr};

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
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool AskQuestion(const std::string& question) {
    if (MessageSink* sink = g_sink.load()) {
        return sink->Ask(question);
    }
    std::fprintf(stderr, "%s\n", question.c_str());
    return false;
}

void ShowMessage(std::uint32_t stringId) {
    ShowMessage(LoadString(stringId));
}

}  // namespace ui
