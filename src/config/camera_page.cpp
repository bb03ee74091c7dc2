#include "config/camera_page.h"

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"

namespace {

constexpr CListPage::Column kColumns[] = {
    {0, "NO.", 35},      {8560, nullptr, 48}, {8561, nullptr, 30}, {8562, nullptr, 30},
    {8563, nullptr, 30}, {8564, nullptr, 30}, {8565, nullptr, 45}, {8566, nullptr, 35},
};

}  // namespace

CCameraEditDlg::CCameraEditDlg(QWidget* parent) : CRowEditDlg(parent) {
    m_btnTitle.setFlat(true);
    AddField("TITLE", m_btnTitle);
    for (const auto& [heading, edit] : {std::pair{"BR", &m_edBrightness},
                                        {"CT", &m_edContrast},
                                        {"ST", &m_edSaturation},
                                        {"HUE", &m_edHue}}) {
        edit->setAlignment(Qt::AlignCenter);
        config::ClampNumberOnEdit(*edit);
        AddField(heading, *edit);
    }
    FinishRow();
}

void CCameraEditDlg::OnInitDialog() {
    m_btnTitle.setText(m_strTitle);
}

bool CCameraEditDlg::UpdateData(bool save) {
    CRowEditDlg::UpdateData(save);
    return config::ExchangeInt(save, m_edBrightness, m_nBrightness, 0, 255) &&
           config::ExchangeInt(save, m_edContrast, m_nContrast, 0, 255) &&
           config::ExchangeInt(save, m_edSaturation, m_nSaturation, 0, 255) &&
           config::ExchangeInt(save, m_edHue, m_nHue, 0, 255);
}

CameraPage::CameraPage(QWidget* parent) : CListPage("Camera", true, parent) {}

void CameraPage::OnInitDialog() {
    InsertRows(kColumns);
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    for (int row = 0; row < static_cast<int>(config::kListRows); ++row) {
        m_Channels[static_cast<std::size_t>(row)] =
            config::ReadCameraChannel(cfg.DVRLIVE, cfg.DVRREC, static_cast<std::size_t>(row));
        SetCell(row, 1, QString::fromLatin1(m_Channels[static_cast<std::size_t>(row)].title));
        ShowRow(row);
    }
}

void CameraPage::ShowRow(int row) {
    const config::CameraChannel& c = m_Channels[static_cast<std::size_t>(row)];
    SetCell(row, 2, QString::number(c.brightness));
    SetCell(row, 3, QString::number(c.contrast));
    SetCell(row, 4, QString::number(c.saturation));
    SetCell(row, 5, QString::number(c.hue));
    SetCell(row, 6, config::ChoiceText(config::kYesNoTexts, c.cov));
    SetCell(row, 7, config::ChoiceText(config::kYesNoTexts, c.record));
}

void CameraPage::EditRow(int row) {
    config::CameraChannel& c = m_Channels[static_cast<std::size_t>(row)];
    CCameraEditDlg dlg(this);
    dlg.m_strRow = RowNumberText(row);
    dlg.m_nBrightness = c.brightness;
    dlg.m_nContrast = c.contrast;
    dlg.m_nSaturation = c.saturation;
    dlg.m_nHue = c.hue;
    dlg.m_strTitle = QString::fromLatin1(c.title);
    if (dlg.DoModal() != QDialog::Accepted) {
        return;
    }
    if (config::MergeCameraEdit(
            c, {dlg.m_nBrightness, dlg.m_nContrast, dlg.m_nSaturation, dlg.m_nHue})) {
        m_fDvrLiveChanged = 1;
    }
    if (m_fDvrLiveChanged) {
        SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
        config::WriteCameraChannel(c, cfg.DVRLIVE, cfg.DVRREC, static_cast<std::size_t>(row));
        ShowRow(row);
    }
}
