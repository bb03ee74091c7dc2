#pragma once

// What the main window needs of the program around it: the live pipeline whose painter it shows,
// the recorders behind its record button, and the two resource chains its close releases. The
// application owns all of them; the window only borrows them for its life.

#include <cstdint>
#include <functional>

class LivePipeline;
namespace recording {
class RecorderSet;
}

struct MainWindowServices {
    LivePipeline& pipeline;
    recording::RecorderSet& recorders;
    // The session's and the process's resource chains; false when a step failed (the window then
    // stays open).
    std::function<bool()> exitLoginResource;
    std::function<bool()> exitProcessResource;
};
