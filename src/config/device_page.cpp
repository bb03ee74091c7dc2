#include "config/device_page.h"

#include <QRegularExpressionValidator>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"

namespace {

constexpr CListPage::Column kColumns[] = {
    {0, "NO.", 40},      {8540, nullptr, 70}, {8541, nullptr, 30},
    {8542, nullptr, 80}, {8543, nullptr, 50},
};

}  // namespace

CDeviceEditDlg::CDeviceEditDlg(QWidget* parent) : CRowEditDlg(parent) {
    AddComboItems(m_cbKind, config::kDeviceKindTexts);
    AddComboItems(m_cbProtocol, config::kDeviceProtocolTexts);
    for (std::uint32_t rate : config::kBaudRates) {
        m_cbRate.addItem(QString("%1").arg(rate, 7));
    }
    m_edBusId.setAlignment(Qt::AlignCenter);
    m_edBusId.setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &m_edBusId));
    AddField("DEVICE", m_cbKind);
    AddField("ID", m_edBusId);
    AddField("PROTOCOL", m_cbProtocol);
    AddField("RATE", m_cbRate);
    FinishRow();
}

bool CDeviceEditDlg::UpdateData(bool save) {
    CRowEditDlg::UpdateData(save);
    config::ExchangeIndex(save, m_cbKind, m_nKind);
    config::ExchangeIndex(save, m_cbProtocol, m_nProtocol);
    config::ExchangeIndex(save, m_cbRate, m_nRate);
    return config::ExchangeInt(save, m_edBusId, m_nBusId, 0, 255);
}

DevicePage::DevicePage(QWidget* parent) : CListPage("Device", false, parent) {}

void DevicePage::OnInitDialog() {
    InsertRows(kColumns);
    m_Entries = config::ReadRs485Entries(g_lpApp->m_SysCfg.RS485);
    for (int row = 0; row < static_cast<int>(config::kListRows); ++row) {
        ShowRow(row);
    }
}

void DevicePage::ShowRow(int row) {
    const config::Rs485Entry& e = m_Entries[static_cast<std::size_t>(row)];
    SetCell(row, 1, config::ChoiceText(config::kDeviceKindTexts, e.kind));
    SetCell(row, 2, QString::number(e.id));
    SetCell(row, 3, config::ChoiceText(config::kDeviceProtocolTexts, e.protocol));
    SetCell(row, 4, QString::number(e.rate));
}

void DevicePage::EditRow(int row) {
    config::Rs485Entry& e = m_Entries[static_cast<std::size_t>(row)];
    CDeviceEditDlg dlg(this);
    dlg.m_strRow = RowNumberText(row);
    dlg.m_nKind = e.kind;
    dlg.m_nProtocol = e.protocol;
    dlg.m_nBusId = e.id;
    dlg.m_nRate = config::BaudRateIndex(e.rate);
    if (dlg.DoModal() != QDialog::Accepted) {
        return;
    }
    if (config::MergeDeviceEdit(e, {dlg.m_nKind, dlg.m_nProtocol, dlg.m_nRate, dlg.m_nBusId})) {
        m_fChanged = 1;
    }
    if (m_fChanged) {
        ShowRow(row);
    }
}
