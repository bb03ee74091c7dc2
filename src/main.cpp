#include <QApplication>

#include "app/live_session_components.h"
#include "app/startup_dialogs.h"
#include "app/torvel_app.h"

namespace {

// No login dialog in this build yet: start-up ends at the login step, as after a cancel.
class NoStartupDialogs final : public StartupDialogs {
public:
    int RunLoginDialog(const LoginPreset&) override { return 0; }
    void RunMainWindow() override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("torvel");
    LiveSessionComponents components;
    NoStartupDialogs dialogs;
    CTorvelApp app(components, dialogs);
    app.InitInstance();
    return app.ExitInstance();
}
