#include <QApplication>

#include "app/live_session_components.h"
#include "app/program_dialogs.h"
#include "app/torvel_app.h"
#include "widgets/message_box.h"
#include "widgets/window_fit.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("torvel");
    ui::FitEveryWindow();
    ui::MessageBoxSink messageBox;
    ui::SetMessageSink(&messageBox);
    LiveSessionComponents components;
    ProgramStartupDialogs dialogs(components, ProgramLoginDialogHooks());
    CTorvelApp app(components, dialogs);
    app.InitInstance();
    return app.ExitInstance();
}
