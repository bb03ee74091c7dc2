#include "config/detection_page.h"

#include "config/config_sheet.h"
#include "config/detection_edit_dlg.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "protocol/remote_key.h"

namespace {

constexpr CListPage::Column kColumns[] = {
    {0, "NO.", 35},      {8550, nullptr, 60}, {8552, nullptr, 30}, {8553, nullptr, 30},
    {8554, nullptr, 30}, {8555, nullptr, 30}, {8556, nullptr, 60},
};
constexpr int kAlarmColumn = 6;

// Masters of these types show the channel being edited: the row's key switches their picture.
bool ShowsEditedChannel(const CDeviceList& list) {
    const std::uint8_t type = list.GetCurrentType();
    return list.IsCurrentMaster() && (type == 14 || type == 19);
}

}  // namespace

DetectionPage::DetectionPage(QWidget* parent) : CListPage("Detection", false, parent) {}

void DetectionPage::OnInitDialog() {
    InsertRows(kColumns);
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    for (int row = 0; row < static_cast<int>(config::kListRows); ++row) {
        m_Channels[static_cast<std::size_t>(row)] =
            config::ReadDetectionChannel(cfg.DVRLIVE, cfg.ALARM, static_cast<std::size_t>(row));
        ShowDetection(row);
        ShowAlarm(row);
    }
}

void DetectionPage::ShowDetection(int row) {
    const config::DetectionChannel& c = m_Channels[static_cast<std::size_t>(row)];
    SetCell(row, 1, config::ChoiceText(config::kDetectTexts, c.detect));
    SetCell(row, 2, QString::number(c.ls));
    SetCell(row, 3, QString::number(c.ss));
    SetCell(row, 4, QString::number(c.ts));
    SetCell(row, 5, QString::number(c.re));
}

void DetectionPage::ShowAlarm(int row) {
    SetCell(row, kAlarmColumn,
            config::ChoiceText(config::kAlarmSettingTexts,
                               m_Channels[static_cast<std::size_t>(row)].alarm));
}

void DetectionPage::EditRow(int row) {
    ConfigSheet* sheet = Sheet();
    if (sheet != nullptr && ShowsEditedChannel(g_lpApp->m_DeviceList)) {
        // The editor opens once the device has had the channel's key, whatever it answered.
        sheet->RunDeviceCommand(
            [row] {
                SendRemoteKey(0, static_cast<std::uint16_t>(row));
                return true;
            },
            [this, row](bool) { EditChannel(row); });
        return;
    }
    EditChannel(row);
}

void DetectionPage::EditChannel(int row) {
    config::DetectionChannel& c = m_Channels[static_cast<std::size_t>(row)];
    CDetectionEditDlg dlg(this);
    dlg.m_strRow = RowNumberText(row);
    dlg.m_nAlarm = c.alarm;
    dlg.m_nDetect = c.detect;
    dlg.m_nLS = c.ls;
    dlg.m_nSS = c.ss;
    dlg.m_nTS = c.ts;
    dlg.m_nRE = c.re;
    dlg.m_WorkingMask = c.mask;
    if (dlg.DoModal() != QDialog::Accepted) {
        return;
    }
    const config::DetectionChanges changes =
        config::MergeDetectionEdit(c, {dlg.m_nAlarm, dlg.m_nDetect, dlg.m_nLS, dlg.m_nSS, dlg.m_nTS,
                                       dlg.m_nRE, dlg.m_WorkingMask});
    m_fDvrLiveChanged |= changes.dvrLive ? 1u : 0u;
    m_fAlarmChanged |= changes.alarm ? 1u : 0u;
    SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    if (m_fDvrLiveChanged) {
        config::WriteDetectionChannel(c, cfg.DVRLIVE, static_cast<std::size_t>(row));
        ShowDetection(row);
    }
    if (m_fAlarmChanged) {
        cfg.ALARM[config::kAlarmSettingOffset + static_cast<std::size_t>(row)] = c.alarm;
        ShowAlarm(row);
    }
}
