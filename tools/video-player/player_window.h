#pragma once

// The record-file player: shows the frames of one record file with play, pause and step.

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "recording/record_file.h"

class PlayerWindow : public QWidget {
    Q_OBJECT

public:
    explicit PlayerWindow(QWidget* parent = nullptr);

    // Opens a record file and shows its first frame; false, with the reason shown, when it is
    // not a record file. A damaged file plays the frames it still holds and says so.
    bool Open(const std::filesystem::path& path);

    std::size_t FrameCount() const { return m_Reader.Frames().size(); }
    std::size_t CurrentFrame() const { return m_nFrame; }
    bool Playing() const { return m_Timer.isActive(); }
    // The picture shown now; null when the frame could not be decoded.
    QImage Picture() const { return m_Picture; }
    QString StatusText() const { return m_Status->text(); }

public slots:
    void Play();
    void Pause();
    void Step();

private:
    void Show(std::size_t frame);

    recording::RecordFileReader m_Reader;
    std::size_t m_nFrame = 0;
    QImage m_Picture;
    QString m_Notice;  // what a damaged file cost, shown with every frame
    QTimer m_Timer;
    QLabel* m_Screen;
    QLabel* m_Status;
    QPushButton* m_PlayButton;
    QPushButton* m_PauseButton;
    QPushButton* m_StepButton;
};
