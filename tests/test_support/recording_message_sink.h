#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "ui/message_sink.h"

namespace test_support {

// Records every message box text instead of showing it; installed for the life of the object.
class RecordingMessageSink : public ui::MessageSink {
public:
    RecordingMessageSink() : m_previous(ui::CurrentMessageSink()) { ui::SetMessageSink(this); }
    ~RecordingMessageSink() override { ui::SetMessageSink(m_previous); }

    void Show(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }

    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    ui::MessageSink* m_previous;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

}  // namespace test_support
