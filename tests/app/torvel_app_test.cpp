#include "app/torvel_app.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app_fakes.h"
#include "kernel/kernel_object.h"
#include "platform/paths.h"
#include "protocol/session.h"
#include "test_support/env_override.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

using test_support::EventLog;

class StartUp : public ::testing::Test {
protected:
    StartUp() {
        platform::SetProgramFolder(program.Path());
        std::ofstream(program.Path() / "CtrlFile.ini") << "[EOF]\nEND\n";
    }

    void Run(std::deque<int> loginResults) {
        test_support::FakeSessionComponents components(log);
        dialogs = std::make_unique<test_support::FakeStartupDialogs>(log, std::move(loginResults));
        CTorvelApp app(components, *dialogs);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.ExitInstance(), 0);
        threadsStarted = log.Count("GetImage started");
    }

    test_support::TempFolder home;
    test_support::TempFolder program;
    test_support::EnvOverride homeVar{"HOME", home.Path().string()};
    test_support::RecordingMessageSink messages;
    EventLog log;
    std::unique_ptr<test_support::FakeStartupDialogs> dialogs;
    long threadsStarted = 0;
};

TEST_F(StartUp, CancelledLoginEndsCleanly) {
    Run({});
    EXPECT_EQ(log.Count("LoginDialog"), 1);
    EXPECT_EQ(log.Count("MainWindow"), 0);
    EXPECT_EQ(threadsStarted, 0);
    EXPECT_EQ(log.Count("FreeBuffers"), 1);
    EXPECT_EQ(g_lpApp, nullptr);
    EXPECT_FALSE(g_strHostName.Empty());
    // Settings loaded and the logs opened in the program folder.
    ASSERT_EQ(dialogs->presets.size(), 1u);
    EXPECT_EQ(dialogs->presets[0].server, "192.168.1.10");
    EXPECT_EQ(dialogs->presets[0].user, "admin");
    EXPECT_EQ(dialogs->presets[0].port, "80");
    EXPECT_EQ(dialogs->presets[0].bitRate, "1200");
    EXPECT_TRUE(std::filesystem::exists(program.Path() / "DebugTrace.log"));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(StartUp, MissingCtrlFileShowsItsMessageAndEnds) {
    std::filesystem::remove(program.Path() / "CtrlFile.ini");
    Run({30});
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Open device control file is failed"});
    EXPECT_EQ(log.Count("LoginDialog"), 0);
    EXPECT_EQ(g_lpApp, nullptr);
}

TEST_F(StartUp, RepeatedLoginShowsAFreshDialogThenTheMainWindow) {
    Run({100, 100, 30});
    EXPECT_EQ(log.Count("LoginDialog"), 3);
    EXPECT_EQ(log.Count("MainWindow"), 1);
    EXPECT_EQ(threadsStarted, 1);
    EXPECT_EQ(log.Count("StartRecorders 0"), 1);
    // The main window's close is stood in for by ExitInstance: the session threads ended.
    EXPECT_EQ(log.Count("GetImage ended"), 1);
    EXPECT_EQ(log.Count("Show ended"), 1);
    EXPECT_EQ(log.Count("StopRecorders"), 1);
}

TEST_F(StartUp, OtherLoginResultsBuildTheSessionButShowNoMainWindow) {
    for (int result : {102, 5}) {
        log.Clear();
        Run({result});
        EXPECT_EQ(log.Count("MainWindow"), 0) << result;
        EXPECT_EQ(threadsStarted, 1) << result;
    }
    for (int result : {0, 10, 20}) {
        Run({result});
    }
    EXPECT_EQ(log.Count("MainWindow"), 3);
}

TEST_F(StartUp, FailuresAtEveryCreationEndStartUpAndReleaseEverything) {
    // Count the creations of a full start-up, then fail each one in turn.
    int creations = 0;
    for (;; ++creations) {
        log.Clear();
        platform::FailObjectCreationAfter(creations);
        Run({30});
        platform::FailObjectCreationAfter(-1);
        if (log.Count("MainWindow") == 1) {
            break;
        }
        EXPECT_EQ(g_lpApp, nullptr) << creations;
        EXPECT_EQ(log.Count("GetImage started"), log.Count("GetImage ended")) << creations;
    }
    EXPECT_GT(creations, 20);
}

}  // namespace
