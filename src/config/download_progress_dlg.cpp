#include "config/download_progress_dlg.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cstdio>
#include <span>
#include <vector>

#include "config/download_file_page.h"
#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "protocol/blocking_socket.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "ui/message_ids.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr const char* kPlayerProgram = "VideoPlayer";
// The longest silence of the device between two pieces of the reply.
constexpr int kReceiveSeconds = 10;
constexpr std::uint32_t kStopWaitMs = 200;
constexpr int kStatusHeight = 20;
constexpr int kStatusOffset = 30;

// The message box of each final report, by code.
constexpr struct {
    DownloadResult code;
    std::uint32_t text;
} kFailureTexts[] = {
    {kDownloadSendFailed, 4065},
    {kDownloadFileFailed, 4105},
    {kDownloadReceiveFailed, 4106},
    {kDownloadNoData, 4107},
};

bool StopSignalled(const DownloadJob& job) {
    return platform::StopRequested() ||
           platform::WaitForObject(job.stopEvent, 0) == platform::kWaitObject0;
}

// Fills `bytes` completely; the device may hand a block over in several pieces, each within the
// receive time-out. False on silence, a closed connection or an error.
bool ReceiveAll(CBlockingSocket& socket, std::span<std::uint8_t> bytes) {
    std::size_t got = 0;
    while (got < bytes.size()) {
        const int n = socket.Receive(bytes.data() + got, static_cast<int>(bytes.size() - got),
                                     kReceiveSeconds);
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint32_t Report(const DownloadJob& job, DownloadResult code, std::uint32_t percent = 0) {
    ui::PostMessage(job.window, ui::WM_DOWNLOADRESULT, code, percent);
    return 0;
}

// Receives the blocks into the open file until the end block, a failure or a stop request.
// Nullopt after a stop: nothing is reported then.
std::optional<DownloadResult> ReceiveBlocks(const DownloadJob& job, CBlockingSocket& socket,
                                            config::BackupFile& file) {
    std::vector<std::uint8_t> block(config::kBackupBlockBytes);
    std::uint64_t total = 0;
    for (;;) {
        if (StopSignalled(job)) {
            return std::nullopt;
        }
        std::uint8_t headerBytes[config::kBackupHeaderBytes];
        const bool received = ReceiveAll(socket, headerBytes);
        if (StopSignalled(job)) {
            return std::nullopt;
        }
        if (!received) {
            return kDownloadReceiveFailed;
        }
        const auto header = config::BackupBlockHeader::Decode(headerBytes);
        if (header.type == config::kBackupBlockEnd) {
            return total == 0 ? kDownloadNoData : kDownloadDone;
        }
        if (header.type != config::kBackupBlockData) {
            continue;
        }
        // A data block beyond the block buffer is not one the device sends: the reply has lost
        // its framing, and what follows cannot be trusted as data.
        if (header.length > block.size()) {
            return kDownloadReceiveFailed;
        }
        const std::span<std::uint8_t> payload(block.data(), header.length);
        if (!ReceiveAll(socket, payload)) {
            return StopSignalled(job) ? std::nullopt
                                      : std::optional<DownloadResult>(kDownloadReceiveFailed);
        }
        // A file that stops taking data (a full disk) must not end as a "Success", nor keep
        // the disk filled with a part that can never be finished.
        if (!file.Append(payload)) {
            file.Discard();
            return kDownloadReceiveFailed;
        }
        total += payload.size();
        Report(job, kDownloadProgress, config::BackupPercent(total, job.request.megabytes));
    }
}

}  // namespace

std::uint32_t DownloadFileThread(const DownloadJob& job) {
    const platform::Handle events[] = {job.startEvent, job.stopEvent};
    if (platform::WaitForAnyObject(events, platform::kInfinite) != platform::kWaitObject0) {
        return 0;
    }
    const std::string request =
        config::BackupRequestText(job.request, g_szSessionCookie.Get(), g_strHostName.Get());
    if (request.empty()) {
        return Report(job, kDownloadSendFailed);
    }
    CBlockingSocket socket;
    try {
        const DeviceAddress device = GetDeviceAddress();
        socket.Create(CBlockingSocket::kStream);
        socket.Connect(CBlockingSocket::GetHostByName(device.server, device.webPort),
                       kCommandSeconds);
        socket.SendAll(request.data(), static_cast<int>(request.size()), kCommandSeconds);
    } catch (const CBlockingSocketException&) {
        socket.Cleanup();
        return StopSignalled(job) ? 0 : Report(job, kDownloadSendFailed);
    }
    config::BackupFile file(job.filePath);
    if (!file.Open()) {
        socket.Cleanup();
        return Report(job, kDownloadFileFailed);
    }
    std::optional<DownloadResult> result = ReceiveBlocks(job, socket, file);
    socket.Cleanup();
    if (result == kDownloadDone && !file.Commit()) {
        result = kDownloadFileFailed;
    }
    return result ? Report(job, *result) : 0;
}

CDownloadProgressDlg::CDownloadProgressDlg(QWidget* parent, const DownloadFilePage& page)
    : QDialog(parent),
      m_hStartEvent(platform::CreateEventObject(false, false)),
      m_hStopEvent(platform::CreateEventObject(false, false)),
      m_tmDate(page.m_tmDate),
      m_tmTime(page.m_tmTime),
      m_nDiskNumber(page.m_bDiskNumber),
      m_nChannel(static_cast<int>(page.m_nChannel) - 1),
      m_nBackupSize(page.m_nBackupSize),
      m_strFilePath(page.m_strFilePath) {
    setWindowTitle("Network Backup");
    m_Progress.setRange(0, 100);
    m_btnPlay.setText("PLAY");
    m_btnCancel.setText("Cancel");
    // The outcome is painted where the progress bar was.
    QSizePolicy keepRoom = m_Progress.sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_Progress.setSizePolicy(keepRoom);
    const float s = g_lpApp->m_fScale;
    m_Progress.setMinimumHeight(static_cast<int>(kStatusOffset * s) + kStatusHeight);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(&m_txtPercent);
    buttons->addStretch();
    buttons->addWidget(&m_btnPlay);
    buttons->addWidget(&m_btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_Progress);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(&m_btnPlay, &QPushButton::clicked, this, &CDownloadProgressDlg::OnButtonPlay);
    connect(&m_btnCancel, &QPushButton::clicked, this, &CDownloadProgressDlg::reject);
}

CDownloadProgressDlg::~CDownloadProgressDlg() {
    platform::SetEvent(m_hStopEvent);
    platform::StopThread(m_hDownloadThread, kStopWaitMs);
    platform::CloseObject(m_hStartEvent);
    platform::CloseObject(m_hStopEvent);
}

int CDownloadProgressDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CDownloadProgressDlg::OnInitDialog() {
    DownloadJob job;
    job.request = {m_tmDate.year(), m_tmDate.month(),  m_tmDate.day(),
                   m_tmTime.hour(), m_tmTime.minute(), m_tmTime.second(),
                   m_nDiskNumber,   m_nChannel,        m_nBackupSize};
    job.filePath = m_strFilePath;
    job.window = Handle();
    job.startEvent = m_hStartEvent;
    job.stopEvent = m_hStopEvent;
    m_hDownloadThread = platform::StartThread([job] { return DownloadFileThread(job); });
    if (!m_hDownloadThread) {
        return false;
    }
    platform::SetEvent(m_hStartEvent);
    m_Progress.setValue(0);
    m_btnPlay.hide();
    return true;
}

void CDownloadProgressDlg::reject() {
    platform::SetEvent(m_hStopEvent);
    QDialog::reject();
}

bool CDownloadProgressDlg::OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    static constexpr ui::MessageMapEntry<CDownloadProgressDlg> kMessageMap[] = {
        {ui::WM_DOWNLOADRESULT, &CDownloadProgressDlg::OnDownloadMessage},
    };
    return ui::DispatchMessage(*this, kMessageMap, msg, wParam, lParam);
}

void CDownloadProgressDlg::OnDownloadMessage(ui::WPARAM wParam, ui::LPARAM lParam) {
    if (wParam == kDownloadProgress) {
        char text[16];
        std::snprintf(text, sizeof text, "%3u%%", static_cast<unsigned>(lParam));
        m_txtPercent.setText(text);
        m_Progress.setValue(static_cast<int>(std::min<ui::LPARAM>(lParam, 100)));
        return;
    }
    for (const auto& failure : kFailureTexts) {
        if (failure.code == wParam) {
            m_strStatus = ui::LoadString(failure.text);
            ui::ShowMessage(m_strStatus);
        }
    }
    if (wParam == kDownloadDone) {
        m_strStatus = "Success";
        m_btnPlay.show();
        m_txtPercent.clear();
    }
    update();
    m_btnCancel.setText("Exit");
    m_Progress.hide();
}

void CDownloadProgressDlg::OnButtonPlay() {
    const std::filesystem::path program =
        std::filesystem::path(g_lpApp->CSettingINI.m_strProgramPath) / kPlayerProgram;
    if (!platform::StartProcess(program, {m_strFilePath})) {
        ui::ShowMessage(ui::texts::kStartPlayerFailed);
    }
}

void CDownloadProgressDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_strStatus.empty()) {
        return;
    }
    const float s = g_lpApp->m_fScale;
    QFont font("Arial");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(kStatusHeight * s));
    font.setWeight(QFont::Normal);
    QPainter painter(this);
    painter.setFont(font);
    const int at = static_cast<int>(kStatusOffset * s);
    painter.drawText(QRect(at, at, width() - at, height() - at), Qt::AlignLeft | Qt::AlignTop,
                     QString::fromStdString(m_strStatus));
}
