#pragma once

#include <string>

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
};
