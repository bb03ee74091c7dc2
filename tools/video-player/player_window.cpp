#include "player_window.h"

#include <QHBoxLayout>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

// The recorder keeps no frame rate; the devices send about ten frames a second.
constexpr int kFrameIntervalMs = 100;

}  // namespace

PlayerWindow::PlayerWindow(QWidget* parent)
    : QWidget(parent),
      m_Screen(new QLabel),
      m_Status(new QLabel),
      m_PlayButton(new QPushButton(tr("Play"))),
      m_PauseButton(new QPushButton(tr("Pause"))),
      m_StepButton(new QPushButton(tr("Step"))) {
    setWindowTitle(tr("VideoPlayer"));
    m_Screen->setMinimumSize(320, 240);
    m_Screen->setAlignment(Qt::AlignCenter);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_PlayButton, m_PauseButton, m_StepButton}) {
        buttons->addWidget(button);
        button->setEnabled(false);
    }
    buttons->addWidget(m_Status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Screen, 1);
    layout->addLayout(buttons);
    connect(m_PlayButton, &QPushButton::clicked, this, &PlayerWindow::Play);
    connect(m_PauseButton, &QPushButton::clicked, this, &PlayerWindow::Pause);
    connect(m_StepButton, &QPushButton::clicked, this, &PlayerWindow::Step);
    connect(&m_Timer, &QTimer::timeout, this, &PlayerWindow::Step);
    m_Timer.setInterval(kFrameIntervalMs);
}

bool PlayerWindow::Open(const std::filesystem::path& path) {
    Pause();
    const bool opened = m_Reader.Open(path);
    const bool frames = opened && FrameCount() > 0;
    for (QPushButton* button : {m_PlayButton, m_PauseButton, m_StepButton}) {
        button->setEnabled(frames);
    }
    if (!opened) {
        m_Status->setText(QString::fromStdString(m_Reader.Error()));
        return false;
    }
    setWindowTitle(tr("VideoPlayer - %1").arg(QString::fromStdString(path.filename().string())));
    m_Notice.clear();
    if (!m_Reader.Indexed()) {
        m_Notice = m_Reader.Skipped() > 0
                       ? tr("The file is damaged: %1 frames recovered, %2 lost. ")
                             .arg(FrameCount())
                             .arg(m_Reader.Skipped())
                       : tr("The file is damaged: %1 frames recovered. ").arg(FrameCount());
    }
    if (frames) {
        Show(0);
    } else {
        m_Status->setText(m_Notice + tr("The recording holds no frames"));
    }
    return true;
}

void PlayerWindow::Play() {
    if (FrameCount() > 0) {
        m_Timer.start();
    }
}

void PlayerWindow::Pause() {
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

void PlayerWindow::Show(std::size_t frame) {
    m_nFrame = frame;
    const std::vector<std::uint8_t> bytes = m_Reader.ReadFrame(frame);
    m_Picture = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "JPG");
    QString text = m_Notice + tr("Frame %1 / %2").arg(frame + 1).arg(FrameCount());
    if (m_Picture.isNull()) {
        m_Screen->clear();
        text += tr(" cannot be shown");
    } else {
        m_Screen->setPixmap(QPixmap::fromImage(m_Picture));
    }
    m_Status->setText(text);
}
