// VideoPlayer: plays one record file, given as the only argument.

#include <QApplication>
#include <cstdio>

#include "player_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: VideoPlayer <record file>\n");
        return 2;
    }
    PlayerWindow window;
    window.Open(argv[1]);
    window.show();
    return application.exec();
}
