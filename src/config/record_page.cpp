#include "config/record_page.h"

#include <QGridLayout>

#include "config/dlg_get_path.h"
#include "kernel/kernel_object.h"

namespace {

constexpr std::uint8_t kDeviceTypeWithAlarmSound = 19;
constexpr const char* kWaveFilter = "WAV files (*.wav)|*.wav||";

std::optional<std::string> BrowseFolder(QWidget* parent, const std::string& start) {
    CDlgGetPath browser(parent);
    browser.SetPath(start);
    if (browser.DoModal() != QDialog::Accepted) {
        return std::nullopt;
    }
    return browser.GetPath();
}

}  // namespace

RecordPage::RecordPage(QWidget* parent)
    : CConfigPage("File Path", parent), m_getPath(BrowseFolder) {
    m_btnRecordPath.setText("Modify");
    m_btnSnapshotPath.setText("Modify");
    m_btnAlarmWav.setText("Modify");
    m_lblAlarmWav.setText("Alarm Audio Path : ");
    m_ctlAlarmWavPath.setReadOnly(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Snapshot Path : ", this), 0, 0);
    layout->addWidget(&m_btnSnapshotPath, 0, 1);
    layout->addWidget(&m_ctlSnapshotPath, 1, 0, 1, 2);
    layout->addWidget(new QLabel("Record Path : ", this), 2, 0);
    layout->addWidget(&m_btnRecordPath, 2, 1);
    layout->addWidget(&m_ctlRecordPath, 3, 0, 1, 2);
    layout->addWidget(&m_lblAlarmWav, 4, 0);
    layout->addWidget(&m_btnAlarmWav, 4, 1);
    layout->addWidget(&m_ctlAlarmWavPath, 5, 0, 1, 2);
    layout->setRowStretch(6, 1);

    connect(&m_btnRecordPath, &QPushButton::clicked, this, &RecordPage::OnButtonRecordPath);
    connect(&m_btnSnapshotPath, &QPushButton::clicked, this, &RecordPage::OnButtonSnapshotPath);
    connect(&m_btnAlarmWav, &QPushButton::clicked, this, &RecordPage::OnButtonAlarmWav);
    // Typing takes the texts at once. Only the user's edits count: the page's own writes into
    // the edits must not read the others back half-written.
    connect(&m_ctlRecordPath, &QLineEdit::textEdited, this, [this] { UpdateData(true); });
    connect(&m_ctlSnapshotPath, &QLineEdit::textEdited, this, [this] { UpdateData(true); });
}

bool RecordPage::UpdateData(bool save) {
    const std::pair<QLineEdit*, std::string*> fields[] = {
        {&m_ctlRecordPath, &m_strRecordPath},
        {&m_ctlSnapshotPath, &m_strSnapshotPath},
        {&m_ctlAlarmWavPath, &m_strAlarmWavPath},
    };
    for (const auto& [edit, member] : fields) {
        if (save) {
            *member = edit->text().toStdString();
        } else {
            edit->setText(QString::fromStdString(*member));
        }
    }
    return true;
}

void RecordPage::OnInitDialog() {
    m_strAlarmWavPath = g_lpApp->CSettingINI.m_strTriggerWavPath;
    if (g_lpApp->m_DeviceList.GetMasterType() != kDeviceTypeWithAlarmSound) {
        m_lblAlarmWav.hide();
        m_btnAlarmWav.hide();
        m_ctlAlarmWavPath.hide();
    }
    UpdateData(false);
}

void RecordPage::OnButtonRecordPath() {
    ChooseFolder(m_strRecordPath);
}

void RecordPage::OnButtonSnapshotPath() {
    ChooseFolder(m_strSnapshotPath);
}

void RecordPage::ChooseFolder(std::string& member) {
    if (const std::optional<std::string> folder = m_getPath(this, member)) {
        member = *folder;
        UpdateData(false);
    }
}

void RecordPage::OnButtonAlarmWav() {
    FileOpenRequest request;
    request.filter = kWaveFilter;
    const std::optional<std::string> chosen = m_chooseFile(this, request);
    if (chosen && !chosen->empty()) {
        m_strAlarmWavPath = *chosen;
        UpdateData(false);
    }
}
