#pragma once

// The record-file player: shows the frames of one record file at the pace they were recorded,
// with play, pause, step, a position slider and the frame and time reached.

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "recording/record_file.h"

class PlayerWindow : public QWidget {
    Q_OBJECT

public:
    explicit PlayerWindow(QWidget* parent = nullptr);
    ~PlayerWindow() override;

    // Reads a record file on a thread of its own, saying meanwhile that it reads, and then shows
    // its first frame, or the reason when it is not a record file. A damaged file plays the
    // frames it still holds and says so. A file chosen while another is read replaces it.
    void Open(const std::filesystem::path& path);
    // True from an Open until its file is shown or refused.
    bool Reading() const { return m_nReading != 0; }

    std::size_t FrameCount() const { return m_Reader ? m_Reader->Frames().size() : 0; }
    std::size_t CurrentFrame() const { return m_nFrame; }
    bool Playing() const { return m_fPlaying; }
    // The picture shown now; null when the frame could not be decoded.
    QImage Picture() const { return m_Picture; }
    QString StatusText() const { return m_Status->text(); }
    // "Frame n / count" with the time reached and the length of the recording.
    QString PositionText() const { return m_Position->text(); }
    // When each frame is due, in milliseconds from the first.
    const std::vector<std::uint64_t>& PlayTimes() const { return m_PlayTimes; }

public slots:
    void Play();
    void Pause();
    void Step();
    // Moves to a frame; playing goes on from there.
    void Seek(int frame);
    // Asks for a record file and opens it; nothing changes when the user cancels.
    void OpenWithDialog();

private:
    struct ReadResult;
    void Opened(const std::filesystem::path& path, ReadResult& result);
    void Show(std::size_t frame);
    void ScheduleNext();
    void OnTimer();

    std::unique_ptr<recording::RecordFileReader> m_Reader;
    // The read of the latest Open; its result is taken only while m_nReading still names it.
    std::jthread m_ReadThread;
    std::uint64_t m_nReading = 0;
    std::uint64_t m_nLastRead = 0;
    std::filesystem::path m_Path;
    std::vector<std::uint64_t> m_PlayTimes;
    std::size_t m_nFrame = 0;
    bool m_fPlaying = false;
    // Runs from the moment the shown frame was due, so a slow decode does not slow the pace.
    QElapsedTimer m_Clock;
    std::uint64_t m_qwClockBase = 0;
    QImage m_Picture;
    QString m_Notice;  // what a damaged file cost, shown with every frame
    QTimer m_Timer;
    QLabel* m_Screen;
    QSlider* m_Slider;
    QLabel* m_Position;
    QLabel* m_Status;
    QPushButton* m_PlayButton;
    QPushButton* m_PauseButton;
    QPushButton* m_StepButton;
};
