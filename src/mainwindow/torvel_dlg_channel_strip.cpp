// The channel strip and the remote keys of the main window.

#include <algorithm>

#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "protocol/remote_key.h"

namespace {

// The PTZ motion keys that send the configured key mode while turbo is on.
constexpr int kTurboMotionKeys[] = {30, 31, 32, 33, 54, 55, 57, 58};
// Keys a guest or normal user may not send to a device of type 14 or 19.
constexpr int kGatedKeys[] = {46, 56};

}  // namespace

void CTorvelDlg::OnChannelButton(int controlId) {
    const int channel = controlId - ChannelStripTable()[0].controlId;
    g_lpApp->CSettingINI.m_bSelectedChannel = static_cast<std::uint8_t>(channel);
    for (int i = 0; i < kChannelStripCount; ++i) {
        m_btnChannel[i].SetImageIndex(i == channel ? 0 : 1);
    }
    ApplyLayoutMode();
    RelayoutControls();
}

void CTorvelDlg::OnChannelLeft(int) {
    --g_lpApp->m_bFirstChannelButton;
}

void CTorvelDlg::OnChannelRight(int) {
    ++g_lpApp->m_bFirstChannelButton;
}

void CTorvelDlg::OnKeyButton(int controlId) {
    const auto& keys = CurrentSkin().keys;
    const auto key = std::find_if(keys.begin(), keys.end(), [controlId](const SkinKeyRecord& k) {
        return k.controlId == controlId;
    });
    if (key == keys.end()) {
        return;
    }
    const int index = key->keyIndex;
    KernelObject& app = *g_lpApp;
    if (std::ranges::find(kGatedKeys, index) != std::end(kGatedKeys) && app.m_bUserClass > 1 &&
        IsSlaveListType(app.m_DeviceList.GetCurrentType())) {
        return;
    }
    const bool motion = std::ranges::find(kTurboMotionKeys, index) != std::end(kTurboMotionKeys);
    const std::uint32_t useKeyMode = motion ? app.m_fTurbo.load() : 0;
    RunDeviceCommand(
        [useKeyMode, index] { SendRemoteKey(useKeyMode, static_cast<std::uint16_t>(index)); });
}
