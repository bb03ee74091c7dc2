#pragma once

// "Upgrade Firware": the supervisor picks a kind of firmware and its file, and an upload thread
// sends the file to the device piece by piece while a progress bar runs. The thread reports to
// the dialog only by posted messages; the dialog closes itself once the device has the whole
// file. Cancel stops an upload under way and tells the device to drop it.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstdint>
#include <string>
#include <vector>

#include "config/file_open_dialog.h"
#include "config/firmware_upload.h"
#include "ui/message_ids.h"
#include "ui/window_message.h"

// What the upload thread works on. It owns its copy of the image, so the dialog may go while the
// thread finishes.
struct UpgradeThreadParam {
    ui::WindowHandle owner = 0;  // the dialog the thread reports to
    std::uint32_t fileSize = 0;
    std::uint32_t chunkSize = kFirmwareChunkSize;
    std::vector<std::uint8_t> data;
    std::uint8_t firmwareType = 0;  // index into kFirmwareTypes
};

// The upload: the video connection, the pieces, and the messages to the owner.
std::uint32_t LoginUpgradeFirmwareThread(const UpgradeThreadParam& param);

class CUpgradeFirmwareDlg : public QDialog, public ui::MessageWindow {
    Q_OBJECT

public:
    // Upgrade enabled again (the upload ended or failed); also hides the progress bar.
    static constexpr std::uint32_t WM_UPGRADEIDLE = ui::WM_UPGRADEPROGRESS_FIRST;
    // An upload has begun: Upgrade disabled.
    static constexpr std::uint32_t WM_UPGRADEBUSY = ui::WM_UPGRADEPROGRESS_FIRST + 1;
    // The device has the whole file: the dialog ends with 0.
    static constexpr std::uint32_t WM_UPGRADEDONE = ui::WM_UPGRADEPROGRESS_LAST;
    // wParam: the percentage sent so far.
    static constexpr std::uint32_t WM_UPGRADEPERCENT = ui::WM_UPGRADEPROGRESS_LAST + 2;

    explicit CUpgradeFirmwareDlg(QWidget* parent = nullptr);

    int DoModal();
    void OnInitDialog();
    // Controls into the members (save) or members into the controls.
    void UpdateData(bool save);

    void OnFindButton();
    // "Upgrade": reads the file and starts the upload thread.
    void OnFindFirmwareFileButton();
    void OnSelchangeType();
    void OnCancel();
    // Esc and the close box cancel as the Cancel button does.
    void reject() override;

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    QComboBox m_ctlType;
    QLabel m_ctlVersion;
    QLineEdit m_ctlFile;
    QPushButton m_btnFind;
    QProgressBar m_ctlProgress;
    QPushButton m_btnUpgrade;
    QPushButton m_btnCancel;

    std::string m_strFirmwareFile;
    std::string m_strVersion;
    int m_nFirmwareType = -1;

    // The open-file box of "Find..."; tests answer in its place.
    FileOpenChooser m_chooseFile = ChooseFileToOpen;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnUpgradeIdle(ui::WPARAM, ui::LPARAM);
    void OnUpgradeBusy(ui::WPARAM, ui::LPARAM);
    void OnUpgradeDone(ui::WPARAM, ui::LPARAM);
    void OnUpgradePercent(ui::WPARAM percent, ui::LPARAM);
    void HideProgress();

    // From the press that starts an upload until its thread reports the dialog idle again.
    bool m_fUploading = false;
};
