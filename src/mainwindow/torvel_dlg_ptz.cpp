// PTZ from the main window: the hot point, and the PTZ control button that hands the keys to a
// peripheral chosen by number and back to the master.

#include "config/peripheral_pages.h"
#include "kernel/kernel_object.h"
#include "mainwindow/ptz_commands.h"
#include "mainwindow/torvel_dlg.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

void CTorvelDlg::OnHotPointClick(ui::WPARAM, ui::LPARAM lParam) {
    if (m_runner.Busy()) {
        return;
    }
    KernelObject& app = *g_lpApp;
    const QRect grid = m_bFullScreen ? QRect(QPoint(0, 0), m_rcScreen.size()) : VideoRect();
    const std::optional<HotPointHit> hit =
        HotPointCell(ParamPoint(lParam), grid, VideoRect(), m_bFullScreen, app.m_bPictureSizeCode);
    if (!hit) {
        return;
    }
    app.m_wHotBoxX = hit->boxX;
    app.m_wHotBoxY = hit->boxY;
    const CDeviceList& devices = app.m_DeviceList;
    std::vector<std::uint8_t> packet = HotPointPacket(
        devices.GetCurrentType(), devices.GetCurrentId(), CurrentUserClass().rank, hit->cell);
    RunDeviceCommand<CommandOutcome>(
        [packet = std::move(packet)] { return SessionCommands::SendHotPoint(packet); },
        [this](CommandOutcome outcome) {
            if (outcome.ok) {
                g_lpApp->m_wHotBoxFrames = 4;
            }
            ShowOutcome(outcome);
        });
}

void CTorvelDlg::OnPtzControlReleased(ui::WPARAM, ui::LPARAM) {
    KernelObject& app = *g_lpApp;
    if (app.m_DeviceList.IsCurrentMaster()) {
        return;
    }
    app.m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    m_btnKey[kPtzKeyIndex].SetImageIndex(0);
    app.m_bHotPointMode = 1;
    app.m_fHotPointOn = 0;
    ApplyLayoutMode();
}

void CTorvelDlg::OnHotPointButton(int) {
    KernelObject& app = *g_lpApp;
    if (app.m_bHotPointMode == 1) {
        app.m_bHotPointMode = 2;
        app.m_fHotPointOn = 1;
    } else if (app.m_bHotPointMode == 2) {
        app.m_bHotPointMode = 1;
        app.m_fHotPointOn = 0;
    }
}

void CTorvelDlg::OnPtzControl(int) {
    KernelObject& app = *g_lpApp;
    const bool slaveList = IsSlaveListType(app.m_DeviceList.GetMasterType());
    if (app.m_bUserClass > 1 && slaveList) {
        return;
    }
    if (!slaveList) {
        ChoosePtz(false);
        return;
    }
    RunDeviceCommand<CommandOutcome>(&SessionCommands::FetchPeripherals,
                                     [this](CommandOutcome outcome) {
                                         if (outcome.ok) {
                                             ChoosePtz(true);
                                         } else {
                                             ShowOutcome(outcome);
                                         }
                                     });
}

void CTorvelDlg::ChoosePtz(bool slaveList) {
    CDeviceList& devices = g_lpApp->m_DeviceList;
    ui::CVtxButton& button = m_btnKey[kPtzKeyIndex];

    CSelectPTZDlg dialog;
    const int result = dialog.DoModal();
    const int n = dialog.m_nPtzNumber;
    const bool wasMaster = devices.IsCurrentMaster() != 0;
    if (result == CSelectPTZDlg::kIdCancel) {
        button.SetImageIndex(wasMaster ? 0 : 1);
        if (slaveList) {
            RunDeviceCommand<CommandOutcome>(
                &SessionCommands::ResetPtz,
                [this](CommandOutcome outcome) { ShowOutcome(outcome); });
        }
        return;
    }
    const bool backToMaster = !wasMaster && result == CSelectPTZDlg::kIdBackToMaster;
    if (!wasMaster && !backToMaster && result != CSelectPTZDlg::kIdOk) {
        return;
    }
    if (!backToMaster &&
        (n < 1 || n > 16 || devices.GetPeripheralTypeAt(static_cast<std::uint8_t>(n - 1)) == 0)) {
        ui::ShowMessage(ui::texts::kPtzNumberInvalid);
        return;
    }

    // What a refused switch puts back on the button.
    const int image = button.GetImageIndex();
    const QString tip = button.toolTip();
    const PtzRollback rollback = SessionCommands::SelectPtz(backToMaster, n);
    if (backToMaster) {
        button.setToolTip(QString::fromStdString(TipWord(8312, 0)));
        button.SetImageIndex(0);
    } else {
        if (wasMaster) {
            button.setToolTip(QString::fromStdString(TipWord(8312, 1)));
        }
        button.SetImageIndex(1);
    }
    std::vector<std::uint8_t> body = PtzSelectBody(backToMaster ? 0 : n);
    RunDeviceCommand<CommandOutcome>(
        [body = std::move(body)] { return SessionCommands::SendPtzSelect(body); },
        [this, rollback, image, tip](CommandOutcome outcome) {
            if (!outcome.ok) {
                SessionCommands::RollBack(rollback);
                ui::CVtxButton& button = m_btnKey[kPtzKeyIndex];
                button.SetImageIndex(image);
                button.setToolTip(tip);
                ShowOutcome(outcome);
                return;
            }
            ApplyLayoutMode();
        });
}
