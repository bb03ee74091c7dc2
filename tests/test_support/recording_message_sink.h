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

    // A question is recorded like a text and answered as SetAnswer said (No until then).
    bool Ask(const std::string& question) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(question);
        return m_answer;
    }
    void SetAnswer(bool yes) {
        std::lock_guard lock(m_mutex);
        m_answer = yes;
    }

    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    ui::MessageSink* m_previous;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    bool m_answer = false;
};

}  // namespace test_support
