// Runs the program's start-up with a scripted user: types the password into the login window,
// presses Enter, waits until the main window has painted some live frames, saves a picture of it
// and closes it the way the user would. For the demo on a machine without a display.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/live_session_components.h"
#include "app/program_dialogs.h"
#include "app/torvel_app.h"
#include "kernel/kernel_object.h"
#include "login/login_dialog.h"
#include "mainwindow/torvel_dlg.h"
#include "widgets/message_box.h"

namespace {

struct Options {
    std::string password;
    std::string screenshot;
    std::uint32_t frames = 50;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--password") == 0) {
            options.password = argv[i + 1];
        } else if (std::strcmp(argv[i], "--screenshot") == 0) {
            options.screenshot = argv[i + 1];
        } else if (std::strcmp(argv[i], "--frames") == 0) {
            options.frames = static_cast<std::uint32_t>(std::stoul(argv[i + 1]));
        } else {
            return false;
        }
    }
    return !options.screenshot.empty();
}

// Plays the user's part whenever a modal window is up.
class ScriptedUser : public QObject {
public:
    explicit ScriptedUser(Options options) : m_options(std::move(options)) {
        connect(&m_timer, &QTimer::timeout, this, [this] { Step(); });
        m_timer.start(100);
    }

    bool Saved() const { return m_saved; }

private:
    void Step() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* login = dynamic_cast<LoginDialog*>(modal); login && !m_loginSent) {
            QLineEdit* password = login->Edit(IDC_EDIT_PASSWORD);
            password->setText(QString::fromStdString(m_options.password));
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(password, &enter);
            m_loginSent = true;
        }
        auto* window = dynamic_cast<CTorvelDlg*>(modal);
        if (window && g_lpApp && g_lpApp->m_dwFramesShown >= m_options.frames && !m_saved) {
            m_saved = window->grab().save(QString::fromStdString(m_options.screenshot));
            std::printf("%s: %s after %u frames\n", m_saved ? "saved" : "could not save",
                        m_options.screenshot.c_str(), g_lpApp->m_dwFramesShown.load());
            window->close();
        }
    }

    Options m_options;
    QTimer m_timer;
    bool m_loginSent = false;
    bool m_saved = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s --screenshot FILE [--password TEXT] [--frames N]\n",
                     argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("torvel");
    ui::MessageBoxSink messageBox;
    ui::SetMessageSink(&messageBox);
    ScriptedUser user(options);
    LiveSessionComponents components;
    ProgramStartupDialogs dialogs(components, ProgramLoginDialogHooks());
    CTorvelApp app(components, dialogs);
    app.InitInstance();
    app.ExitInstance();
    return user.Saved() ? 0 : 1;
}
