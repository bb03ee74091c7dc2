#include "config/download_file_page.h"

#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <climits>
#include <filesystem>
#include <memory>

#include "config/config_sheet.h"
#include "config/data_exchange.h"
#include "config/download_progress_dlg.h"
#include "kernel/kernel_object.h"
#include "protocol/cgi_request.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr std::uint32_t kDiskReplyBytes = 1024;
constexpr int kPickerWidth = 120;
constexpr int kPickerHeight = 20;

std::optional<std::string> ChooseBackupFile(QWidget* parent, const std::string& folder) {
    QFileDialog dialog(parent, QString(), QString::fromStdString(folder), "Backup files (*.Q41)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("Q41");
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

// An empty size box means no size at all, which Start refuses like a zero.
int SizeOfText(const QString& text) {
    return config::TypedBackupSize(text.toStdString()).value_or(0);
}

}  // namespace

DownloadFilePage::DownloadFilePage(QWidget* parent)
    : CConfigPage("Network Backup", parent), m_chooseFile(ChooseBackupFile) {
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    m_editSize.setValidator(digits);
    m_editChannel.setValidator(digits);
    m_editPath.setReadOnly(true);
    m_btnFilePath.setText("File Path :");
    m_btnStart.setText("Start");

    m_pTimeGroup = new QGroupBox("Time", this);
    new QHBoxLayout(m_pTimeGroup);

    auto* info = new QGroupBox("Backup Information", this);
    auto* grid = new QGridLayout(info);
    grid->addWidget(new QLabel("Backup Size : "), 0, 0);
    // The size and its unit side by side, the field as wide as a size.
    config::FitEditToValue(m_editSize, 6);
    config::FitEditToValue(m_editChannel, 2);
    auto* size = new QHBoxLayout;
    size->addWidget(&m_editSize);
    size->addWidget(new QLabel("MB"));
    size->addStretch();
    grid->addLayout(size, 0, 1);
    grid->addWidget(new QLabel("Channel : "), 1, 0);
    grid->addWidget(&m_editChannel, 1, 1);
    grid->addWidget(new QLabel("HDD Num : "), 2, 0);
    grid->addWidget(&m_cmbDisk, 2, 1);
    grid->addWidget(&m_btnFilePath, 3, 0);
    grid->addWidget(&m_editPath, 3, 1, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTimeGroup);
    layout->addWidget(info);
    layout->addWidget(&m_btnStart, 0, Qt::AlignRight);
    layout->addStretch();

    connect(&m_btnStart, &QPushButton::clicked, this, &DownloadFilePage::OnButtonStart);
    connect(&m_btnFilePath, &QPushButton::clicked, this, &DownloadFilePage::OnButtonFilePath);
    connect(&m_editSize, &QLineEdit::textEdited, this, &DownloadFilePage::OnChangeBackupSize);
}

void DownloadFilePage::OnInitDialog() {
    UpdateData(false);

    // The gap between the pickers follows the display's scale; their size does not.
    const float s = g_lpApp->m_fScale;
    m_pDatePicker = new QDateEdit(QDate::currentDate(), m_pTimeGroup);
    m_pDatePicker->setDisplayFormat("yyyy / MM / dd");
    m_pTimePicker = new QTimeEdit(QTime::currentTime(), m_pTimeGroup);
    m_pTimePicker->setDisplayFormat("HH : mm : ss");
    auto* row = static_cast<QHBoxLayout*>(m_pTimeGroup->layout());
    row->setSpacing(static_cast<int>(20 * s));
    for (QWidget* picker :
         {static_cast<QWidget*>(m_pDatePicker), static_cast<QWidget*>(m_pTimePicker)}) {
        picker->setFixedSize(kPickerWidth, kPickerHeight);
        row->addWidget(picker);
    }
    row->addStretch();

    const std::string& lastFile = g_lpApp->CSettingINI.m_strNetworkFilePath;
    m_strFilePath = !lastFile.empty() ? lastFile : ui::LoadString(ui::texts::kSetPathFirst);
    QueryDisks();
}

void DownloadFilePage::QueryDisks() {
    ConfigSheet* sheet = Sheet();
    if (sheet == nullptr) {
        return;
    }
    auto reply = std::make_shared<std::array<std::uint8_t, kDiskReplyBytes>>();
    sheet->RunDeviceCommand(
        [reply] {
            CCgiRequest request(CGI_GETDVRHDD);
            if (!g_szSessionCookie.Empty()) {
                request.AddParam("Cookie", g_szSessionCookie.Get());
            }
            return VortaSendCommand(CGI_GETDVRHDD, request.Url(), nullptr, 0, nullptr,
                                    reply->data(), kDiskReplyBytes, nullptr, kCommandSeconds,
                                    kCommandSeconds, 0) != 0;
        },
        [this, reply](bool answered) {
            if (!answered) {
                return;
            }
            std::copy_n(reply->begin(), m_abDiskMap.size(), m_abDiskMap.begin());
            m_bDiskFlag = (*reply)[m_abDiskMap.size()];
            for (const config::DiskRow& row : config::DiskRows(m_abDiskMap, m_bDiskFlag)) {
                m_cmbDisk.addItem(QString::fromStdString(row.label));
                m_nDiskIndex = 0;
            }
            UpdateData(false);
        });
}

bool DownloadFilePage::UpdateData(bool save) {
    int channel = static_cast<int>(m_nChannel);
    if (save) {
        config::ExchangeIndex(true, m_cmbDisk, m_nDiskIndex);
        if (!config::ExchangeInt(true, m_editChannel, channel, 0, INT_MAX)) {
            return false;
        }
        m_nBackupSize = SizeOfText(m_editSize.text());
        m_nChannel = static_cast<std::uint32_t>(channel);
        m_strFilePath = m_editPath.text().toStdString();
        return true;
    }
    config::ExchangeIndex(false, m_cmbDisk, m_nDiskIndex);
    m_editSize.setText(QString::number(m_nBackupSize));
    config::ExchangeInt(false, m_editChannel, channel, 0, INT_MAX);
    m_editPath.setText(QString::fromStdString(m_strFilePath));
    return true;
}

void DownloadFilePage::OnChangeBackupSize() {
    const std::optional<int> size = config::TypedBackupSize(m_editSize.text().toStdString());
    if (!size) {
        return;
    }
    m_nBackupSize = *size;
    // Only the size box is rewritten: the other boxes may hold typing not yet taken.
    const QString text = QString::number(m_nBackupSize);
    if (m_editSize.text() != text) {
        m_editSize.setText(text);
    }
}

void DownloadFilePage::OnButtonFilePath() {
    std::string folder;
    if (!g_lpApp->CSettingINI.m_strNetworkFilePath.empty()) {
        folder = std::filesystem::path(m_strFilePath).parent_path().string();
    }
    const std::optional<std::string> chosen = m_chooseFile(this, folder);
    if (!chosen) {
        return;
    }
    UpdateData(true);
    m_strFilePath = *chosen;
    m_fPathChosen = 1;
    UpdateData(false);
}

void DownloadFilePage::OnButtonStart() {
    if (!UpdateData(true)) {
        return;
    }
    if (m_nBackupSize <= 0) {
        ui::ShowMessage(ui::texts::kBackupSizeWrong);
        return;
    }
    if (m_strFilePath == ui::LoadString(ui::texts::kSetPathFirst)) {
        ui::ShowMessage(ui::texts::kBackupPathInvalid);
        return;
    }
    // A path that cannot be written is refused before anything is asked of the device; an
    // earlier backup there stays as it is until a new one has arrived whole.
    switch (config::CheckBackupTarget(m_strFilePath)) {
        case config::BackupTarget::Usable:
            break;
        case config::BackupTarget::Unusable:
            ui::ShowMessage(ui::texts::kBackupPathInvalid);
            return;
        case config::BackupTarget::NotRegularFile:
            // A finished backup replaces what has its name: never a device, a pipe or a link.
            ui::ShowMessage(m_strFilePath +
                            " is not a regular file. A backup can only replace an earlier "
                            "backup file; please choose another file name.");
            return;
    }
    g_lpApp->CSettingINI.m_strNetworkFilePath = m_strFilePath;
    m_tmDate = m_pDatePicker ? m_pDatePicker->date() : QDate::currentDate();
    m_tmTime = m_pTimePicker ? m_pTimePicker->time() : QTime::currentTime();
    m_bDiskNumber = config::DiskNumberOfRow(m_abDiskMap, m_nDiskIndex);

    CDownloadProgressDlg dialog(nullptr, *this);
    dialog.DoModal();
}
