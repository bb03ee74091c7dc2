#pragma once

// The small "Connect ..." window: it logs in through the login object (login, then the device
// information) while a row of dots moves behind the host's address, and closes with the result.
// The wait is bounded: a device that never answers closes the window with a failure.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <string>

#include "login/login_thread.h"
#include "ui/window_message.h"

class QLabel;

class CConnectProgressDlg : public QDialog, public ui::MessageWindow {
    Q_OBJECT

public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultFailed = -1;
    static constexpr int kTimerId = 1000;
    static constexpr int kTimerMs = 300;
    // Longer than the login object's two commands with their send and receive time-outs.
    static constexpr std::uint32_t kMaxWaitMs = 65'000;

    // `owner` holds the host, user name, password and port typed in the login window.
    CConnectProgressDlg(QWidget* parent, LoginTexts owner);
    ~CConnectProgressDlg() override;

    // 1 after a successful login, -1 after a failed one, a bad port or when the wait ran out.
    int DoModal();

    bool OnMessage(std::uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    std::string m_strText;
    std::uint32_t m_dwTick = 0;
    // How long the window waits for the login, by the program clock.
    std::uint32_t m_dwMaxWaitMs = kMaxWaitMs;

    // The text of the window now.
    std::string ShownText() const;

private:
    // False when the login could not be started; the window then is not shown.
    bool OnInitDialog();
    void OnTimer();
    void OnConnectResult(ui::WPARAM wParam, ui::LPARAM lParam);
    void UpdateText();

    LoginTexts m_owner;
    QLabel* m_pText = nullptr;
    QTimer m_timer;
    std::uint32_t m_dwStart = 0;
};
