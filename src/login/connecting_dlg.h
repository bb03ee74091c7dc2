#pragma once

// Nothing in the program opens this dialog.
// "Connecting": a wait box with moving dots that ends when the device answers (the kernel's
// device-answer event) and ends the program when no answer comes within 20 s.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>

class QLabel;

class CConnectingDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDotsTimer = 1037;
    static constexpr int kGiveUpTimer = 1038;
    static constexpr int kDotsMs = 100;
    static constexpr int kGiveUpMs = 20'000;
    static constexpr int kMaxDots = 11;

    explicit CConnectingDlg(QWidget* parent = nullptr);

    int DoModal();
    bool OnInitDialog();
    void OnTimer(int timerId);

    // Ends the program when the device never answered; tests put a recorder in its place.
    std::function<void()> m_endProgram;

    bool m_fDeviceAnswered = false;
    QLabel* m_staticText;

private:
    QTimer m_dotsTimer;
    QTimer m_giveUpTimer;
    // Shared by every wait box, so a new one goes on where the last one stopped.
    static int s_nDots;
};
