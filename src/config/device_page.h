#pragma once

// The "Device" page: the sixteen RS-485 entries of the device (what hangs on each bus address,
// its bus ID, control protocol and baud rate), edited one row at a time in CDeviceEditDlg. The
// page keeps its own copy of the entries; the sheet's device step writes the copy into the RS485
// section and sends it when a row edit changed something.

#include <QComboBox>
#include <QLineEdit>
#include <cstdint>

#include "config/channel_sections.h"
#include "config/list_page.h"

class CDeviceEditDlg : public CRowEditDlg {
    Q_OBJECT

public:
    explicit CDeviceEditDlg(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    int m_nKind = -1;
    int m_nProtocol = -1;
    int m_nRate = -1;  // index into config::kBaudRates
    int m_nBusId = 0;

    QComboBox m_cbKind;
    QLineEdit m_edBusId;
    QComboBox m_cbProtocol;
    QComboBox m_cbRate;
};

class DevicePage : public CListPage {
    Q_OBJECT

public:
    explicit DevicePage(QWidget* parent = nullptr);

    config::Rs485Entries m_Entries{};
    std::uint32_t m_fChanged = 0;

protected:
    void OnInitDialog() override;
    void EditRow(int row) override;

private:
    void ShowRow(int row);
};
