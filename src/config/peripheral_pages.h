#pragma once

// The RS-485 peripherals of the connected device. Two pages that the sheet builds but never shows:
// an older editor of two peripheral channels and a read-only view of the current device's ID and
// model. And the PTZ chooser of the main window, in which the user types the number of the PTZ
// peripheral the keys go to, or goes back to the master.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>
#include <string>

#include "config/config_page.h"

class CPeripheralPage : public CConfigPage {
    Q_OBJECT

public:
    explicit CPeripheralPage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    QComboBox m_comboBaudRate1;
    QComboBox m_comboModel1;
    QLineEdit m_editId1;

    int m_nBaudRate1 = -1;
    int m_nModel1 = -1;
    int m_nId1 = 0;

protected:
    void OnInitDialog() override;
};

// The model text of a device type code; empty for codes without one.
std::string Xr2ModelText(std::uint8_t deviceType);

class CXr2Peripheral : public CConfigPage {
    Q_OBJECT

public:
    explicit CXr2Peripheral(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    QLineEdit m_editModel;
    QLineEdit m_editId;

    std::string m_strModel;
    std::string m_strId;

protected:
    void OnInitDialog() override;
};

class CSelectPTZDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    // ESC: back to the master device.
    static constexpr int kIdBackToMaster = 20;

    explicit CSelectPTZDlg(QWidget* parent = nullptr);

    // 1 (OK: m_nPtzNumber holds the number typed), 2 (CANCEL or closed) or 20 (ESC).
    int DoModal();
    void OnInitDialog();

    int m_nPtzNumber = 0;
    QLineEdit m_editNumber;
    QPushButton m_btnOk;
    QPushButton m_btnCancel;
    QPushButton m_btnEsc;

private:
    void OnOK();
};
