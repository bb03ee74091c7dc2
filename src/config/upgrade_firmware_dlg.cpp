#include "config/upgrade_firmware_dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <filesystem>

#include "config/data_exchange.h"
#include "config/tool_box_page.h"
#include "kernel/kernel_object.h"
#include "platform/file_gate.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "protocol/blocking_socket.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

namespace {

// The pause after the last piece, with the video connection still open, while the device turns
// to its flash.
constexpr std::uint32_t kAfterUploadMs = 1000;
// How long a new upgrade thread waits for the one it replaces before giving up on it.
constexpr std::uint32_t kStopWaitMs = 10;
constexpr const char* kUnknownFolder = "UnKnown";

// Starts `proc` as the upgrade's thread in place of the one the kernel object holds. The older
// thread is asked to stop here and ended by its successor before `proc` runs: the window never
// waits for an upload that is unwinding, and the device never hears the older thread after the
// newer one. Null, with the older thread still asked to stop and still held, when no thread starts.
platform::Handle StartUpgradeThread(platform::ThreadProc proc) {
    platform::HandleField& field = g_lpApp->h_UpgradeFirmwareThread;
    const platform::Handle older = field.Take();
    platform::RequestStop(older);
    const platform::Handle thread = platform::StartThread([older, proc = std::move(proc)] {
        platform::HandleField predecessor;
        predecessor = older;
        platform::StopThread(predecessor, kStopWaitMs);
        // Replaced in turn meanwhile: nothing of this one may reach the device or the window.
        return platform::StopRequested() ? 0u : proc();
    });
    field = thread ? thread : older;
    return thread;
}

}  // namespace

std::uint32_t LoginUpgradeFirmwareThread(const UpgradeThreadParam& param) {
    const auto post = [&param](std::uint32_t msg, ui::WPARAM wParam = 0) {
        ui::PostMessage(param.owner, msg, wParam, 0);
    };
    post(CUpgradeFirmwareDlg::WM_UPGRADEBUSY);
    CBlockingSocket video;
    if (!OpenUpgradeVideoConnection(video)) {
        if (platform::StopRequested()) {
            return 0;
        }
        ui::ShowMessage(ui::texts::kUpgradeFirmwareError);
        post(CUpgradeFirmwareDlg::WM_UPGRADEIDLE);
        return 1;
    }
    const FirmwareType* type = FindFirmwareType(param.firmwareType);
    const UploadResult result = SendFirmwareChunks(
        param.data, type != nullptr ? type->typeText : "",
        [&post](std::uint32_t percent) { post(CUpgradeFirmwareDlg::WM_UPGRADEPERCENT, percent); });
    switch (result) {
        case UploadResult::Stopped:
            // Whoever stopped the thread has put the dialog back already.
            return 0;
        case UploadResult::Failed:
            ui::ShowMessage(ui::texts::kUpgradeFirmwareError);
            post(CUpgradeFirmwareDlg::WM_UPGRADEIDLE);
            return 1;
        case UploadResult::Sent:
            break;
    }
    ui::ShowMessage(ui::texts::kOverwriteFlash);
    post(CUpgradeFirmwareDlg::WM_UPGRADEIDLE);
    post(CUpgradeFirmwareDlg::WM_UPGRADEDONE);
    platform::Sleep(kAfterUploadMs);
    return 0;
}

CUpgradeFirmwareDlg::CUpgradeFirmwareDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Upgrade Firware");
    m_btnFind.setText("Find...");
    m_btnUpgrade.setText("Upgrade");
    m_btnCancel.setText("Cancel");
    m_ctlProgress.hide();
    // The version texts come from the device: shown as written, never as markup.
    m_ctlVersion.setTextFormat(Qt::PlainText);
    // Room for a firmware path several folders deep, file name included.
    config::FitEditToChars(m_ctlFile, 56);

    auto* layout = new QGridLayout(this);
    layout->addWidget(&m_ctlType, 0, 0, 1, 3);
    layout->addWidget(new QLabel("Version:", this), 1, 0);
    layout->addWidget(&m_ctlVersion, 1, 1, 1, 2);
    layout->addWidget(new QLabel("File path:", this), 2, 0);
    layout->addWidget(&m_ctlFile, 2, 1);
    layout->addWidget(&m_btnFind, 2, 2);
    layout->addWidget(&m_ctlProgress, 3, 0, 1, 3);
    layout->addWidget(&m_btnUpgrade, 4, 1);
    layout->addWidget(&m_btnCancel, 4, 2);

    connect(&m_btnFind, &QPushButton::clicked, this, &CUpgradeFirmwareDlg::OnFindButton);
    connect(&m_btnUpgrade, &QPushButton::clicked, this,
            &CUpgradeFirmwareDlg::OnFindFirmwareFileButton);
    connect(&m_btnCancel, &QPushButton::clicked, this, &CUpgradeFirmwareDlg::OnCancel);
    connect(&m_ctlType, &QComboBox::activated, this, &CUpgradeFirmwareDlg::OnSelchangeType);
}

int CUpgradeFirmwareDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CUpgradeFirmwareDlg::OnInitDialog() {
    m_ctlType.clear();
    for (const FirmwareType& type : kFirmwareTypes) {
        m_ctlType.addItem(type.comboText);
    }
    m_nFirmwareType = 0;
    HideProgress();
    m_ctlProgress.setRange(0, 100);
    const KernelObject& app = *g_lpApp;
    m_strFirmwareFile = app.CSettingINI.m_strUpgradeFWPath + kFirmwareTypes[0].fileName;
    m_strVersion = CombinedVersionText(app.m_strFirmwareVersion, app.m_strBootVersion,
                                       app.m_strCodecVersion, app.m_strFPGAVersion);
    UpdateData(false);
}

void CUpgradeFirmwareDlg::UpdateData(bool save) {
    // The version is only shown; it is never taken back from its label.
    if (save) {
        m_strFirmwareFile = m_ctlFile.text().toStdString();
        m_nFirmwareType = m_ctlType.currentIndex();
        return;
    }
    m_ctlFile.setText(QString::fromStdString(m_strFirmwareFile));
    m_ctlVersion.setText(QString::fromStdString(m_strVersion));
    m_ctlType.setCurrentIndex(m_nFirmwareType);
}

void CUpgradeFirmwareDlg::OnSelchangeType() {
    UpdateData(true);
    const FirmwareType* type = FindFirmwareType(m_nFirmwareType);
    m_strFirmwareFile = g_lpApp->CSettingINI.m_strUpgradeFWPath + (type ? type->fileName : "");
    UpdateData(false);
}

void CUpgradeFirmwareDlg::OnFindButton() {
    UpdateData(true);
    const FirmwareType* type = FindFirmwareType(m_nFirmwareType);
    std::string& folder = g_lpApp->CSettingINI.m_strUpgradeFWPath;
    const FileOpenRequest request{type ? type->filter : "", "BIN", type ? type->fileName : "",
                                  folder == kUnknownFolder ? std::string() : folder};
    const std::optional<std::string> chosen = m_chooseFile(this, request);
    if (!chosen || chosen->empty()) {
        return;
    }
    m_strFirmwareFile = *chosen;
    // Setting.ini keeps the folder once an upload has started.
    folder = platform::WithTrailingSeparator(platform::FolderOf(*chosen).string());
    UpdateData(false);
}

void CUpgradeFirmwareDlg::OnFindFirmwareFileButton() {
    // One upload at a time: a second press before the thread reports busy would otherwise stop
    // the first upload half-way without the device hearing of it.
    if (m_fUploading) {
        return;
    }
    // The file is the one the edit shows now, typed or chosen.
    UpdateData(true);
    // Only a regular file is opened, and never waited on. An empty file is refused as unreadable:
    // there would be nothing to send, yet the device would be told the upgrade went through. So is
    // a file too large for the device's piece count, before any of it is read into memory.
    const platform::FileSnapshot read =
        platform::ReadFile(std::filesystem::path(m_strFirmwareFile), kMaxFirmwareSize);
    using State = platform::FileSnapshot::State;
    if (read.state == State::Missing || read.state == State::Unreadable) {
        ui::ShowMessage(ui::texts::kOpenFirmwareFailed);
        return;
    }
    if (read.state != State::Read || read.bytes.empty()) {
        ui::ShowMessage(ui::texts::kReadFirmwareFailed);
        return;
    }
    m_ctlProgress.setValue(0);
    m_ctlProgress.show();
    m_fUploading = true;
    m_btnUpgrade.setEnabled(false);

    UpgradeThreadParam param;
    param.owner = Handle();
    param.fileSize = static_cast<std::uint32_t>(read.bytes.size());
    param.data.assign(read.bytes.begin(), read.bytes.end());
    param.firmwareType = static_cast<std::uint8_t>(m_nFirmwareType);

    if (!StartUpgradeThread(
            [param = std::move(param)] { return LoginUpgradeFirmwareThread(param); })) {
        OnUpgradeIdle(0, 0);
        return;
    }
    g_lpApp->CSettingINI.Save();
}

void CUpgradeFirmwareDlg::OnCancel() {
    HideProgress();
    // The window goes at once; the device hears of the cancel from a thread of the upgrade's own,
    // however long it takes to answer. An upload under way is stopped first.
    StartUpgradeThread([] {
        SendUpgradeCancel();
        return 0u;
    });
    ui::PostMessage(Handle(), WM_UPGRADEIDLE, 0, 0);
    done(0);
}

void CUpgradeFirmwareDlg::reject() {
    OnCancel();
}

void CUpgradeFirmwareDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnCancel();
}

bool CUpgradeFirmwareDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<CUpgradeFirmwareDlg> kMessageMap[] = {
        {WM_UPGRADEIDLE, &CUpgradeFirmwareDlg::OnUpgradeIdle},
        {WM_UPGRADEBUSY, &CUpgradeFirmwareDlg::OnUpgradeBusy},
        {WM_UPGRADEDONE, &CUpgradeFirmwareDlg::OnUpgradeDone},
        {WM_UPGRADEPERCENT, &CUpgradeFirmwareDlg::OnUpgradePercent},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void CUpgradeFirmwareDlg::OnUpgradeIdle(ui::WPARAM, ui::LPARAM) {
    m_fUploading = false;
    m_btnUpgrade.setEnabled(true);
    HideProgress();
}

void CUpgradeFirmwareDlg::OnUpgradeBusy(ui::WPARAM, ui::LPARAM) {
    m_btnUpgrade.setEnabled(false);
}

void CUpgradeFirmwareDlg::OnUpgradeDone(ui::WPARAM, ui::LPARAM) {
    done(0);
}

void CUpgradeFirmwareDlg::OnUpgradePercent(ui::WPARAM percent, ui::LPARAM) {
    m_ctlProgress.setValue(static_cast<int>(percent));
}

void CUpgradeFirmwareDlg::HideProgress() {
    m_ctlProgress.setValue(0);
    m_ctlProgress.hide();
}
