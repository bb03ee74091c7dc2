#include "player_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <string>

#include "kernel/settings_ini.h"
#include "play_schedule.h"
#include "ui/queued_call.h"

namespace {

// The file dialog's detail columns: name, size, type, date.
constexpr int kDateColumn = 3;

QString ClockText(std::uint64_t ms) {
    const std::uint64_t seconds = ms / 1000;
    return QString("%1:%2.%3")
        .arg(seconds / 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'))
        .arg(ms % 1000 / 10, 2, 10, QChar('0'));
}

}  // namespace

PlayerWindow::PlayerWindow(QWidget* parent)
    : QWidget(parent),
      m_Screen(new QLabel),
      m_Slider(new QSlider(Qt::Horizontal)),
      m_Position(new QLabel),
      m_Status(new QLabel),
      m_PlayButton(new QPushButton(tr("Play"))),
      m_PauseButton(new QPushButton(tr("Pause"))),
      m_StepButton(new QPushButton(tr("Step"))) {
    setWindowTitle(tr("VideoPlayer"));
    m_Screen->setMinimumSize(320, 240);
    m_Screen->setAlignment(Qt::AlignCenter);
    // File names and the reader's reasons are shown as written.
    m_Status->setTextFormat(Qt::PlainText);
    m_Slider->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_PlayButton, m_PauseButton, m_StepButton}) {
        buttons->addWidget(button);
        button->setEnabled(false);
    }
    buttons->addWidget(m_Position);
    buttons->addWidget(m_Status, 1);
    auto* menus = new QMenuBar;
    QMenu* file = menus->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), QKeySequence::Open, this, &PlayerWindow::OpenWithDialog);
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addWidget(m_Screen, 1);
    layout->addWidget(m_Slider);
    layout->addLayout(buttons);
    connect(m_PlayButton, &QPushButton::clicked, this, &PlayerWindow::Play);
    connect(m_PauseButton, &QPushButton::clicked, this, &PlayerWindow::Pause);
    connect(m_StepButton, &QPushButton::clicked, this, &PlayerWindow::Step);
    connect(m_Slider, &QSlider::valueChanged, this, &PlayerWindow::Seek);
    m_Timer.setSingleShot(true);
    m_Timer.setTimerType(Qt::PreciseTimer);
    connect(&m_Timer, &QTimer::timeout, this, &PlayerWindow::OnTimer);
}

// What the reading thread hands to the window: the open reader and the play times of its frames.
struct PlayerWindow::ReadResult {
    std::unique_ptr<recording::RecordFileReader> reader =
        std::make_unique<recording::RecordFileReader>();
    bool opened = false;
    std::vector<std::uint64_t> playTimes;
    // What ended the read when the reader could not say it.
    std::string failure;
};

PlayerWindow::~PlayerWindow() {
    // Before any member goes: the read stops at its next record, and what it would have posted
    // is never posted.
    m_ReadThread = {};
}

void PlayerWindow::Open(const std::filesystem::path& path) {
    Pause();
    // A file still being read is no longer wanted: its thread stops at its next record.
    m_ReadThread = {};
    const std::uint64_t read = ++m_nLastRead;
    m_nReading = read;
    // The file shown so far goes at once: nothing of it plays under the name of the next.
    m_Reader.reset();
    m_PlayTimes.clear();
    m_nFrame = 0;
    m_Picture = QImage();
    m_Screen->clear();
    m_Position->clear();
    for (QPushButton* button : {m_PlayButton, m_PauseButton, m_StepButton}) {
        button->setEnabled(false);
    }
    m_Slider->setEnabled(false);
    m_Status->setText(tr("Reading %1 ...").arg(QString::fromStdString(path.filename().string())));
    setCursor(Qt::BusyCursor);
    m_ReadThread = std::jthread([this, path, read](std::stop_token stop) {
        auto result = std::make_shared<ReadResult>();
        // Whatever ends the read ends it in words on the window: nothing thrown here may take
        // the program down.
        try {
            result->opened = result->reader->Open(path, stop);
            std::vector<std::uint32_t> stamps;
            stamps.reserve(result->reader->Frames().size());
            for (const recording::RecordedFrame& frame : result->reader->Frames()) {
                stamps.push_back(frame.record.dwTimeStamp);
            }
            result->playTimes = player::FramePlayTimes(stamps);
        } catch (const std::exception& e) {
            result->opened = false;
            result->failure = path.string() + " cannot be played: " + e.what();
        }
        if (!stop.stop_requested()) {
            ui::PostCall(this, [this, path, read, result] {
                if (m_nReading == read) {
                    Opened(path, *result);
                }
            });
        }
    });
}

void PlayerWindow::Opened(const std::filesystem::path& path, ReadResult& result) {
    m_nReading = 0;
    unsetCursor();
    m_Reader = std::move(result.reader);
    m_PlayTimes = std::move(result.playTimes);
    const bool frames = result.opened && FrameCount() > 0;
    for (QPushButton* button : {m_PlayButton, m_PauseButton, m_StepButton}) {
        button->setEnabled(frames);
    }
    m_Slider->setEnabled(frames);
    if (!result.opened) {
        m_Status->setText(
            QString::fromStdString(result.failure.empty() ? m_Reader->Error() : result.failure));
        // Nothing of a read that failed plays: what it found may lack its play times.
        m_Reader.reset();
        return;
    }
    m_Path = path;
    setWindowTitle(tr("VideoPlayer - %1").arg(QString::fromStdString(path.filename().string())));
    {
        const QSignalBlocker quiet(m_Slider);
        m_Slider->setRange(0, static_cast<int>(std::max<std::size_t>(FrameCount(), 1) - 1));
        m_Slider->setValue(0);
    }
    m_Notice.clear();
    if (!m_Reader->Indexed()) {
        m_Notice = m_Reader->Skipped() > 0
                       ? tr("The file is damaged: %1 frames recovered, %2 lost. ")
                             .arg(FrameCount())
                             .arg(m_Reader->Skipped())
                       : tr("The file is damaged: %1 frames recovered. ").arg(FrameCount());
    }
    if (frames) {
        Show(0);
    } else {
        m_Status->setText(m_Notice + tr("The recording holds no frames"));
    }
}

void PlayerWindow::OpenWithDialog() {
    // The folder of the file played last, or else the one the client records into.
    std::string folder = m_Path.empty() ? std::string() : m_Path.parent_path().string();
    if (folder.empty()) {
        CSettingINI settings;
        settings.Load();
        folder = settings.m_strRecordPath.Get();
    }
    QFileDialog dialog(this, tr("Open a recording"), QString::fromStdString(folder),
                       tr("Recordings (*%1);;All files (*)").arg(recording::kRecordFileExtension));
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The same dialog on every desktop, and one the tests can answer.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The date column as wide as its dates: the recordings of a folder differ in little else.
    // As the listing sizes the columns, the dialog widens to show them whole; the fit every
    // window goes through keeps it to what its screen holds.
    if (auto* details = dialog.findChild<QTreeView*>()) {
        details->header()->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
        // The list scrolls sideways exactly when its columns are wider than it.
        connect(details->horizontalScrollBar(), &QScrollBar::rangeChanged, &dialog,
                [&dialog, details] {
                    const int lacking = details->header()->length() - details->viewport()->width();
                    if (lacking > 0) {
                        dialog.resize(dialog.width() + lacking, dialog.height());
                    }
                });
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        Open(dialog.selectedFiles().first().toStdString());
    }
}

void PlayerWindow::Play() {
    if (FrameCount() == 0 || m_fPlaying) {
        return;
    }
    // Played to the end, Play starts again from the first frame.
    if (m_nFrame + 1 >= FrameCount()) {
        Show(0);
    }
    m_fPlaying = true;
    m_qwClockBase = m_PlayTimes[m_nFrame];
    m_Clock.start();
    ScheduleNext();
}

void PlayerWindow::Pause() {
    m_fPlaying = false;
    m_Timer.stop();
}

void PlayerWindow::Step() {
    if (FrameCount() == 0) {
        return;
    }
    if (m_nFrame + 1 >= FrameCount()) {
        Pause();
        return;
    }
    Show(m_nFrame + 1);
}

void PlayerWindow::Seek(int frame) {
    if (frame < 0 || static_cast<std::size_t>(frame) >= FrameCount()) {
        return;
    }
    Show(static_cast<std::size_t>(frame));
    if (m_fPlaying) {
        m_qwClockBase = m_PlayTimes[m_nFrame];
        m_Clock.start();
        ScheduleNext();
    }
}

void PlayerWindow::OnTimer() {
    if (!m_fPlaying) {
        return;
    }
    // A frame whose time has already passed is shown at once; a decode slower than the pace
    // shows every frame late rather than skipping any.
    Step();
    if (m_fPlaying) {
        ScheduleNext();
    }
}

void PlayerWindow::ScheduleNext() {
    if (m_nFrame + 1 >= FrameCount()) {
        Pause();
        return;
    }
    const std::uint64_t due = m_PlayTimes[m_nFrame + 1] - m_qwClockBase;
    const auto elapsed = static_cast<std::uint64_t>(m_Clock.elapsed());
    m_Timer.start(static_cast<int>(
        std::min<std::uint64_t>(due > elapsed ? due - elapsed : 0, player::kLongestGapMs)));
}

void PlayerWindow::Show(std::size_t frame) {
    m_nFrame = frame;
    {
        const QSignalBlocker quiet(m_Slider);
        m_Slider->setValue(static_cast<int>(frame));
    }
    const std::vector<std::uint8_t> bytes = m_Reader->ReadFrame(frame);
    m_Picture = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "JPG");
    m_Position->setText(tr("Frame %1 / %2  %3 / %4")
                            .arg(frame + 1)
                            .arg(FrameCount())
                            .arg(ClockText(m_PlayTimes[frame]))
                            .arg(ClockText(m_PlayTimes.back())));
    QString text = m_Notice;
    if (m_Picture.isNull()) {
        m_Screen->clear();
        text += tr("Frame %1 cannot be shown").arg(frame + 1);
    } else {
        m_Screen->setPixmap(QPixmap::fromImage(m_Picture));
    }
    m_Status->setText(text);
}
