#pragma once

// "Network Backup": copies recorded data from one of the device's disks into a local backup
// file. The user picks a start date and time, a size in megabytes, a channel and a disk, names
// the file and presses Start; the progress dialog then downloads on a worker thread. The disk
// list comes from the device when the page is first shown, without holding the window. The main
// window keeps the chosen file as the next default when the sheet is applied.

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/backup_download.h"
#include "config/config_page.h"

class QDateEdit;
class QGroupBox;
class QTimeEdit;

class DownloadFilePage : public CConfigPage {
    Q_OBJECT

public:
    explicit DownloadFilePage(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    void OnButtonStart();
    void OnButtonFilePath();
    void OnChangeBackupSize();

    // The save-file dialog: the chosen file's full path, nullopt when the user cancelled. It
    // opens in `folder` when that is not empty. Tests put their own in its place.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& folder)>
        m_chooseFile;

    QComboBox m_cmbDisk;
    QLineEdit m_editSize;
    QLineEdit m_editChannel;
    QLineEdit m_editPath;
    QPushButton m_btnFilePath;
    QPushButton m_btnStart;
    // Created with the page's window; owned by the page.
    QDateEdit* m_pDatePicker = nullptr;
    QTimeEdit* m_pTimePicker = nullptr;

    int m_nDiskIndex = -1;
    int m_nBackupSize = 5;
    std::uint32_t m_nChannel = 1;  // as the user counts, from 1
    std::string m_strFilePath;
    // Set once a file was chosen with the File Path button; the main window reads it.
    std::uint32_t m_fPathChosen = 0;
    QDate m_tmDate;
    QTime m_tmTime;
    config::DiskMap m_abDiskMap{};
    std::uint8_t m_bDiskFlag = 0;
    std::uint8_t m_bDiskNumber = 0;

protected:
    void OnInitDialog() override;

private:
    // Asks the device for its disks as the sheet's command; when it answered, the disk list and
    // the other controls are filled.
    void QueryDisks();

    QGroupBox* m_pTimeGroup = nullptr;
};
