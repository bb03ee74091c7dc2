#pragma once

// Message boxes. Every text the program shows in a box goes through one sink: a real box in the
// program, a recorder in tests. A box shown from a worker thread never blocks that thread.

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

// Installs `sink` (not owned) in place of the real box; nullptr restores the real box.
void SetMessageSink(MessageSink* sink);
MessageSink* CurrentMessageSink();

// A box with one OK button: modal on the GUI thread, queued to the GUI thread from a worker.
void ShowMessage(const std::string& text);
// The same with a text of the string table.
void ShowMessage(std::uint32_t stringId);

}  // namespace ui
