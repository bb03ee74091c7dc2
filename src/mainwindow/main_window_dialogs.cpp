#include "mainwindow/main_window_dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_table.h"

namespace {

// Bytes of the IMG section that hold brightness, contrast, saturation and hue.
constexpr int kFirstImageByte = 7;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Torvel Version 1.0", this));
    layout->addWidget(
        new QLabel(QString::fromStdString("Client " + g_lpApp->m_strAppVersion), this));
    auto* ok = new QPushButton("OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok);
}

CSelectPTZDlg::CSelectPTZDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Select PTZ device");
    m_editNumber.setValidator(new QIntValidator(0, 99999, &m_editNumber));
    m_btnOk.setText("OK");
    m_btnCancel.setText("CANCEL");
    m_btnEsc.setText("ESC");
    m_btnEsc.setToolTip(QString::fromStdString(ui::LoadString(3204)));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("SELECT  NO :", this));
    row->addWidget(&m_editNumber);
    row->addWidget(new QLabel("PTZ", this));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {&m_btnOk, &m_btnCancel, &m_btnEsc}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    connect(&m_btnOk, &QPushButton::clicked, this, [this] {
        m_nPtzNumber = m_editNumber.text().toInt();
        done(kIdOk);
    });
    connect(&m_btnCancel, &QPushButton::clicked, this, [this] { done(kIdCancel); });
    connect(&m_btnEsc, &QPushButton::clicked, this, [this] { done(kIdBackToMaster); });
}

int CSelectPTZDlg::DoModal() {
    const CDeviceList& devices = g_lpApp->m_DeviceList;
    m_nPtzNumber = devices.GetOrdinal() + 1;
    m_editNumber.setText(QString::number(m_nPtzNumber));
    if (devices.IsCurrentMaster()) {
        // Nothing to go back to: the cancel button takes the place of the hidden ESC button.
        m_btnEsc.hide();
        const float scale = g_lpApp->m_fScale;
        m_btnCancel.setMinimumSize(static_cast<int>(98 * scale), static_cast<int>(37 * scale));
    }
    const int result = exec();
    // Closing the window is a cancel.
    return result == QDialog::Rejected ? kIdCancel : result;
}

CVideoAdjustDlg::CVideoAdjustDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Picture adjust");
    auto* form = new QFormLayout;
    static constexpr const char* kNames[] = {"Brightness", "Contrast", "Saturation", "Hue"};
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        m_sliders[i].setOrientation(Qt::Horizontal);
        m_sliders[i].setRange(0, 255);
        form->addRow(kNames[i], &m_sliders[i]);
    }
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

int CVideoAdjustDlg::DoModal() {
    const int values[] = {m_nBrightness, m_nContrast, m_nSaturation, m_nHue};
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        m_sliders[i].setValue(values[i]);
    }
    return exec();
}

void CVideoAdjustDlg::OnOK() {
    auto& block = g_lpApp->m_SysCfg.IMG;
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        block[kFirstImageByte + i] = static_cast<std::uint8_t>(m_sliders[i].value());
    }
    m_nBrightness = m_sliders[0].value();
    m_nContrast = m_sliders[1].value();
    m_nSaturation = m_sliders[2].value();
    m_nHue = m_sliders[3].value();
    if (SetConfigSection(CFG_IMG, block.data(), block.size(), 0) == 0) {
        ui::ShowMessage("Set the system config is failed\n");
    }
    accept();
}
