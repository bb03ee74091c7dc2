#pragma once

#include <memory>
#include <string>

#include "kernel/main_window_link.h"

namespace test_support {

// A main window that ignores what the threads ask of it; fakes override what they watch.
class NullMainWindow : public MainWindowLink {
public:
    void DrawFrame() override {}
    void ShowStatusText(const std::string&) override {}
    void SetButtonImage(int, int) override {}
    void SetButtonTip(int, const std::string&) override {}
    void ClearFrameTexts() override {}
    void ClearIndicatorText() override {}
    void ReapplyLayout() override {}
    void SwitchLayoutMode(std::uint16_t) override {}
    void PresentFrame(std::shared_ptr<const PaintedFrame>) override {}
};

}  // namespace test_support
