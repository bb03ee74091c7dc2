#include "config/peripheral_pages.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "config/data_exchange.h"
#include "kernel/kernel_object.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr const char* kBaudRates[] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};
constexpr const char* kModels[] = {"CAMERA",           "1CH DVR",  "4CH DVR",      "4CH DMR",
                                   "9CH DMR",          "16CH DMR", "4CH DQR",      "4CH QUAD",
                                   "16CH Mutliplerer", "PTZ",      "4CH MPEG2 DVR"};

struct ModelName {
    std::uint8_t type;
    const char* text;
};

constexpr ModelName kXr2Models[] = {
    {113, "4CH NETWORK DVR (BASIC)"}, {114, "4CH NETWORK DVR (BASIC)"},
    {115, "4CH NETWORK DVR (FULL)"},  {118, "9CH NETWORK DMR"},
    {119, "16CH NETWORK DMR"},        {132, "4CH NETWORK MEPG2 DVR"},
    {138, "4CH NETWORK MEPG2 DVR"},
};

// The chooser's layout at 96 pixels per inch; every rectangle is scaled with the display, so
// that CANCEL in ESC's place (enlarged, when there is no peripheral to leave) stays inside it.
constexpr QSize kChooserSize(282, 90);
constexpr QRect kLabelRect(12, 10, 90, 22);
constexpr QRect kNumberRect(104, 10, 60, 22);
constexpr QRect kUnitRect(170, 10, 40, 22);
constexpr QRect kOkRect(12, 42, 75, 25);
constexpr QRect kCancelRect(92, 42, 75, 25);
constexpr QRect kEscRect(172, 42, 75, 25);
constexpr QRect kCancelInPlaceOfEsc(172, 42, 98, 37);

// Whole pixels, truncated.
int Scaled(int value) {
    return static_cast<int>(static_cast<float>(value) * g_lpApp->m_fScale);
}

QRect Scaled(const QRect& rect) {
    return QRect(Scaled(rect.x()), Scaled(rect.y()), Scaled(rect.width()), Scaled(rect.height()));
}

}  // namespace

CPeripheralPage::CPeripheralPage(QWidget* parent) : CConfigPage("Peripheral", parent) {
    for (const char* rate : kBaudRates) {
        m_comboBaudRate1.addItem(rate);
    }
    for (const char* model : kModels) {
        m_comboModel1.addItem(model);
    }
    auto* group = new QGroupBox("Channel 1", this);
    auto* form = new QFormLayout(group);
    form->addRow("Baud Rate :", &m_comboBaudRate1);
    form->addRow("ID :", &m_editId1);
    form->addRow("Model :", &m_comboModel1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

void CPeripheralPage::OnInitDialog() {
    UpdateData(false);
}

bool CPeripheralPage::UpdateData(bool save) {
    config::ExchangeIndex(save, m_comboBaudRate1, m_nBaudRate1);
    config::ExchangeIndex(save, m_comboModel1, m_nModel1);
    return config::ExchangeInt(save, m_editId1, m_nId1, 0, 255);
}

std::string Xr2ModelText(std::uint8_t deviceType) {
    const auto* model =
        std::find_if(std::begin(kXr2Models), std::end(kXr2Models),
                     [deviceType](const ModelName& m) { return m.type == deviceType; });
    return model == std::end(kXr2Models) ? std::string() : model->text;
}

CXr2Peripheral::CXr2Peripheral(QWidget* parent) : CConfigPage("Peripheral", parent) {
    m_editModel.setReadOnly(true);
    m_editId.setReadOnly(true);
    auto* form = new QFormLayout;
    form->addRow("Model :", &m_editModel);
    form->addRow("ID :", &m_editId);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
}

void CXr2Peripheral::OnInitDialog() {
    const CDeviceList& devices = g_lpApp->m_DeviceList;
    m_strId = std::to_string(devices.GetCurrentId());
    m_strModel = Xr2ModelText(devices.GetCurrentType());
    UpdateData(false);
}

bool CXr2Peripheral::UpdateData(bool save) {
    return config::ExchangeText(save, m_editModel, m_strModel) &&
           config::ExchangeText(save, m_editId, m_strId);
}

CSelectPTZDlg::CSelectPTZDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Select PTZ device");
    setFixedSize(Scaled(kChooserSize.width()), Scaled(kChooserSize.height()));
    m_editNumber.setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &m_editNumber));
    auto* label = new QLabel("SELECT  NO :", this);
    label->setGeometry(Scaled(kLabelRect));
    m_editNumber.setParent(this);
    m_editNumber.setGeometry(Scaled(kNumberRect));
    auto* unit = new QLabel("PTZ", this);
    unit->setGeometry(Scaled(kUnitRect));
    const std::pair<QPushButton*, QRect> buttons[] = {
        {&m_btnOk, kOkRect}, {&m_btnCancel, kCancelRect}, {&m_btnEsc, kEscRect}};
    for (const auto& [button, rect] : buttons) {
        button->setParent(this);
        button->setGeometry(Scaled(rect));
    }
    m_btnOk.setText("OK");
    m_btnCancel.setText("CANCEL");
    m_btnEsc.setText("ESC");
    m_btnOk.setDefault(true);
    m_btnEsc.setToolTip(QString::fromStdString(ui::LoadString(ui::texts::kBackToControlCenter)));
    connect(&m_btnOk, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(&m_btnCancel, &QPushButton::clicked, this, [this] { done(kIdCancel); });
    connect(&m_btnEsc, &QPushButton::clicked, this, [this] { done(kIdBackToMaster); });
}

int CSelectPTZDlg::DoModal() {
    OnInitDialog();
    const int result = exec();
    // Closing the window is a cancel.
    return result == QDialog::Rejected ? kIdCancel : result;
}

void CSelectPTZDlg::OnInitDialog() {
    const CDeviceList& devices = g_lpApp->m_DeviceList;
    if (devices.IsCurrentMaster() != 0) {
        m_btnEsc.hide();
        m_btnCancel.setGeometry(Scaled(kCancelInPlaceOfEsc));
    }
    m_nPtzNumber = devices.GetOrdinal() + 1;
    m_editNumber.setText(QString::number(m_nPtzNumber));
}

void CSelectPTZDlg::OnOK() {
    // A number the edit cannot hold as an int has shown the framework's prompt; the dialog stays.
    if (config::ExchangeInt(true, m_editNumber, m_nPtzNumber, INT_MIN, INT_MAX)) {
        done(kIdOk);
    }
}
