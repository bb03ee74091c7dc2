// VideoPlayer: plays a record file, given as the only argument, or one chosen in its file dialog.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "player_window.h"
#include "widgets/window_fit.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ui::FitEveryWindow();
    if (argc > 2) {
        std::fprintf(stderr, "usage: VideoPlayer [record file]\n");
        return 2;
    }
    PlayerWindow window;
    window.show();
    if (argc == 2) {
        window.Open(argv[1]);
    } else {
        QTimer::singleShot(0, &window, &PlayerWindow::OpenWithDialog);
    }
    return application.exec();
}
