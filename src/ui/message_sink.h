#pragma once

// Message boxes. Every text the program shows in a box goes through one sink: the real box that
// the program installs at start (widgets/message_box.h), a recorder in tests. A box shown from a
// worker thread never blocks that thread. This side knows no widgets, so the layers below the
// dialogs can report without one.

#include <cstdint>
#include <string>

namespace ui {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Show(const std::string& text) = 0;
    // A question with the buttons Yes and No, asked on the GUI thread; true for Yes. A sink that
    // cannot ask shows the text and answers No.
    virtual bool Ask(const std::string& question) {
        Show(question);
        return false;
    }
};

// True on the thread that runs the GUI event loop (also when there is no GUI at all).
bool IsGuiThread();

// Installs `sink` (not owned); with none installed a text goes to the standard error stream.
void SetMessageSink(MessageSink* sink);
MessageSink* CurrentMessageSink();

// Hands the text to the installed sink.
void ShowMessage(const std::string& text);
// The same with a text of the string table.
void ShowMessage(std::uint32_t stringId);
// Asks the installed sink (Yes: true); with none installed the text goes to the standard error
// stream and the answer is No.
bool AskQuestion(const std::string& question);

}  // namespace ui
