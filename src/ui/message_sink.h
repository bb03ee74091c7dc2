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

}  // namespace ui
