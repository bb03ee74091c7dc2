#pragma once

// The main window: the live picture with its command buttons, the title-bar buttons, the
// channel strip and the remote-key panel of the connected device. It has no layout resource;
// every control, rectangle and image comes from the skin tables (mainwindow/skin_tables.h).

#include <QDialog>
#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "mainwindow/skin_tables.h"
#include "ui/vtx_button.h"
#include "ui/window_message.h"

// What the window needs of the device list: the type of the device the keys go to, and whether
// that is the server itself or one of its peripherals.
class DeviceSelection {
public:
    virtual ~DeviceSelection() = default;
    virtual int GetCurrentType() const = 0;
    virtual bool IsCurrentMaster() const = 0;
};

class CTorvelDlg : public QDialog, public ui::MessageWindow {
    Q_OBJECT

public:
    explicit CTorvelDlg(const DeviceSelection& devices, QWidget* parent = nullptr);
    ~CTorvelDlg() override;

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // The skin part of the start-up: the layout mode from the video standard and the
    // resolution, the window's shape and backgrounds, every button with its place, tooltip and
    // images, the user class's permissions, then the layout for the device type.
    void CreateSkinControls();

    // Loads the twenty background, status-bar and icon images; false at the first one missing
    // (the ones after it stay empty).
    bool LoadBackgroundBitmaps();
    // With `loadAll` the images of every button, then the mode's key images. True.
    bool LoadControlBitmaps(std::uint16_t mode, bool loadAll);
    // Reload the images that follow the layout mode. True.
    bool SetNtscVgaKeyBitmaps();
    bool SetNtscQvgaKeyBitmaps();
    bool SetPalVgaKeyBitmaps();
    bool SetPalQvgaKeyBitmaps();
    // Called by the stream when the picture size changes, from its own thread: the work is done
    // on the window's thread. True.
    bool SwitchToNtscVga();
    bool SwitchToNtscQvga();
    bool SwitchToPalVga();
    bool SwitchToPalQvga();
    // Places every control for the layout mode and the key panel's state. True.
    bool RelayoutControls();
    bool OnResolutionChanged(std::uint32_t resolution);
    // Brings the window in line with the video standard, resolution, device and user. 1. May be
    // called from any thread.
    int ApplyLayoutMode();

    // The button with that control id, or null.
    ui::CVtxButton* GetDlgItem(int controlId);
    QWidget* VideoArea() { return &m_wndVideo; }
    const QImage& Background(int mode, bool panelOpen) const;

    // 1 while the key panel is open.
    bool m_bPanelExpanded = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Which visibility rules place the keys: those of the open key panel, or those of a device
    // type whose keys sit in the closed window.
    enum class KeyRule { Panel, ClosedWindow };

    const DeviceTypeSkin& CurrentSkin() const;
    const UserClassButtons& CurrentUserClass() const;
    const LayoutRow& CurrentLayout() const;
    bool SetKeyBitmaps(int group);
    bool SwitchTo(int mode);
    void LoadPanelButtons(int mode);
    void PlaceKeyButtons(KeyRule rule);
    void HideKeyButtons();
    // Takes the size of a layout rectangle (words `first` to first + 3) with a rounded outline.
    void ShapeWindow(int first, int corner);
    void CenterOnScreen();
    void CreateButtons();
    std::vector<ui::CVtxButton*> AllButtons();
    bool OnGuiThread() const;

    const DeviceSelection& m_devices;
    QRect m_rcScreen;
    std::array<QImage, kLayoutModeCount> m_hBackground;
    std::array<QImage, kLayoutModeCount> m_hBackgroundEx;
    std::array<QImage, kLayoutModeCount> m_hStatusBar;
    QImage m_hOnlineUserIcon;
    QImage m_hAlarmIcon;
    // Title-bar buttons 8200 to 8202; 8203 has a string but no window.
    std::array<ui::CVtxButton, 3> m_btnTitle;
    std::array<ui::CVtxButton, kChannelStripCount> m_btnChannel;
    std::array<ui::CVtxButton, kRemoteKeyCount> m_btnKey;
    std::array<ui::CVtxButton, kCommandButtonCount> m_btnCommand;
    ui::CVtxButton m_btnPanelUp;
    ui::CVtxButton m_btnPanelDown;
    ui::CVtxButton m_btnPower;
    QWidget m_wndVideo;
    // Serialises the reload of the key images by the layout switches.
    std::mutex m_csLayout;
    bool m_bControlsCreated = false;
};
