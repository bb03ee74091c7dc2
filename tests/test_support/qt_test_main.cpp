// Test main for suites that need a Qt application (posted messages, widgets).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "ui/message_sink.h"
#include "widgets/window_fit.h"

namespace {

// A modal box would wait for a click that never comes; a test that expects a box installs a
// recording sink of its own.
class PrintingMessageSink : public ui::MessageSink {
public:
    void Show(const std::string& text) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Tests never need a display; the offscreen platform draws into memory, on a screen of the
    // suite's size (a desktop's unless the suite names another) rather than its own 800 x 600.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TORVEL_TEST_SCREEN);
    }
#ifdef TORVEL_TEST_SCALE
    qputenv("QT_SCALE_FACTOR", TORVEL_TEST_SCALE);
#endif
    QApplication application(argc, argv);
    ui::FitEveryWindow();
    PrintingMessageSink printing;
    ui::SetMessageSink(&printing);
    return RUN_ALL_TESTS();
}
