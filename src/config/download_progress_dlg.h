#pragma once

// The network backup's progress window and its worker. The worker sends one "/NetworkBk.cgi"
// request on a connection of its own and appends the data blocks of the reply to the backup
// file, reporting progress and its end to the window by WM_DOWNLOADRESULT; the window shows the
// outcome, and after a complete download offers to open the file in the player. Closing the
// window stops the worker, which never outlives it.

#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <cstdint>
#include <string>

#include "config/backup_download.h"
#include "platform/sync.h"
#include "ui/window_message.h"

class DownloadFilePage;

// The worker's reports: wParam of WM_DOWNLOADRESULT (lParam: the percentage for kProgress).
enum DownloadResult : std::uint32_t {
    kDownloadSendFailed = 1,
    kDownloadFileFailed = 2,
    kDownloadReceiveFailed = 3,
    kDownloadNoData = 4,
    kDownloadDone = 5,
    kDownloadProgress = 6,
};

// What the worker needs, copied from the window before it starts.
struct DownloadJob {
    config::BackupRequest request;
    std::string filePath;
    ui::WindowHandle window = 0;
    platform::Handle startEvent;
    platform::Handle stopEvent;
};

// Waits for the start or the stop event, then downloads; ends after its report or, silently,
// once asked to stop. Returns 0.
std::uint32_t DownloadFileThread(const DownloadJob& job);

class CDownloadProgressDlg : public QDialog, public ui::MessageWindow {
    Q_OBJECT

public:
    CDownloadProgressDlg(QWidget* parent, const DownloadFilePage& page);
    ~CDownloadProgressDlg() override;

    int DoModal();
    // Starts the worker. False when it could not be started: the window then stays idle until
    // the user closes it.
    bool OnInitDialog();
    void OnButtonPlay();
    void OnDownloadMessage(ui::WPARAM wParam, ui::LPARAM lParam);

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    QProgressBar m_Progress;
    QLabel m_txtPercent;
    QPushButton m_btnPlay;
    QPushButton m_btnCancel;

    platform::HandleField m_hDownloadThread;
    platform::Handle m_hStartEvent;
    platform::Handle m_hStopEvent;
    QDate m_tmDate;
    QTime m_tmTime;
    std::uint32_t m_nDiskNumber = 0;
    int m_nChannel = 0;  // counted from 0
    int m_nBackupSize = 0;
    std::string m_strFilePath;
    // The outcome painted in the window; empty while the download runs.
    std::string m_strStatus;

protected:
    // Cancel, Exit and Escape: the worker is told to stop and the window closes.
    void reject() override;
    void paintEvent(QPaintEvent* event) override;
};
