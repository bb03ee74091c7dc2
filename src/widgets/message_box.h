#pragma once

// The program's real message box behind ui::ShowMessage: a box with one OK button, modal on the
// GUI thread and queued to the GUI thread from a worker, so a worker never waits for a click.

#include "ui/message_sink.h"

namespace ui {

class MessageBoxSink : public MessageSink {
public:
    void Show(const std::string& text) override;
    // Yes and No, No the default; a worker is never made to wait for the answer: it gets No.
    bool Ask(const std::string& question) override;
};

}  // namespace ui
