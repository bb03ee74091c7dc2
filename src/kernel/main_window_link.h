#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kernel/painted_frame.h"

// Control ids the threads address.
inline constexpr int kConnectButtonId = 1002;
inline constexpr int kRecordButtonId = 1005;
inline constexpr int kPtzControlButtonId = 8312;
inline constexpr int kRetrButtonId = 8331;

// What the threads below the dialogs need of the main window. The window implements it; every
// call may come from a worker thread, so an implementation only hands the work to the GUI thread
// and returns at once. DrawFrame is the exception: it runs on the calling thread (the kernel
// message thread) and prepares the picture off the GUI thread.
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    virtual void DrawFrame() = 0;
    virtual void ShowStatusText(const std::string& text) = 0;
    // A short notice (a snapshot taken) that holds the status line for a few seconds; status
    // texts that come meanwhile show after it.
    virtual void ShowNoticeText(const std::string& text) { ShowStatusText(text); }
    // The image index and the tooltip of a button, by control id.
    virtual void SetButtonImage(int controlId, int imageIndex) = 0;
    virtual void SetButtonTip(int controlId, const std::string& tip) = 0;
    // Empties the two texts the frame painter fills (the rates and the indicator).
    virtual void ClearFrameTexts() = 0;
    // Empties the indicator text only.
    virtual void ClearIndicatorText() = 0;
    // Applies the layout mode for the current device, user and resolution, relayouts the
    // controls and repaints.
    virtual void ReapplyLayout() = 0;
    // The stream's picture size changed: apply the layout mode, then switch the window to the
    // layout of `layoutMode` (0 NTSC 640 wide, 1 NTSC 320, 2 PAL 640, 3 PAL 320). Called from the
    // compose thread.
    virtual void SwitchLayoutMode(std::uint16_t layoutMode) = 0;
    // Shows a finished live picture. Called from the kernel message thread, once per frame.
    virtual void PresentFrame(std::shared_ptr<const PaintedFrame> frame) = 0;
};
