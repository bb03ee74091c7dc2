#include "login/connect_dialog.h"

#include <gtest/gtest.h>

#include "login/login_dialog.h"
#include "login_fixture.h"
#include "protocol/login.h"

namespace {

using device_emulator::ReplyAction;

class ConnectDialogTest : public test_support::LoginFixture {
protected:
    ~ConnectDialogTest() override { ReleaseLoginObject(); }

    LoginTexts Owner(const std::string& user = "admin") const {
        return {"127.0.0.1", user, user, Port()};
    }
};

TEST_F(ConnectDialogTest, ASuccessfulLoginClosesWithOk) {
    CConnectProgressDlg dialog(nullptr, Owner());
    EXPECT_EQ(RunModal(dialog, [] {}), CConnectProgressDlg::kResultOk);
    EXPECT_EQ(g_lpApp->m_wUserLevel, 30);
    EXPECT_FALSE(g_szSessionCookie.Empty());
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ConnectDialogTest, TheDotsMoveWhileTheDeviceIsSilent) {
    // The device never answers, so the window stays up for as many steps as the watch needs to
    // see, however slowly a busy machine runs the timers; the watch then closes it.
    Faults("/Getdeviceinfo.cgi", {.action = ReplyAction::Stall});
    CConnectProgressDlg dialog(nullptr, Owner());
    constexpr int kClosedByWatch = -7;
    constexpr std::uint32_t kStepsWanted = 3;
    // The step of the dots and the text shown with it, each time the watch finds a new step. The
    // watch may miss steps; each one it sees must be right.
    std::vector<std::pair<std::uint32_t, std::string>> steps;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (dialog.m_dwTick > 0 && (steps.empty() || steps.back().first != dialog.m_dwTick)) {
            steps.emplace_back(dialog.m_dwTick, dialog.ShownText());
        }
        if (dialog.m_dwTick >= kStepsWanted) {
            dialog.done(kClosedByWatch);
        }
    });
    watch.start(20);
    EXPECT_EQ(RunModal(dialog, [] {}), kClosedByWatch)
        << "the dots moved " << kStepsWanted << " steps before the window gave up";
    ASSERT_FALSE(steps.empty());
    const std::string host = "Connect 127.0.0.1 ";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& [tick, text] = steps[i];
        EXPECT_EQ(text, host + std::string((tick - 1) % 4 + 1, '.')) << "step " << tick;
        if (i > 0) {
            EXPECT_GT(tick, steps[i - 1].first);
        }
    }
}

TEST_F(ConnectDialogTest, FailuresCloseWithMinusOne) {
    const struct {
        const char* name;
        std::string port;
        device_emulator::ReplyFaults faults;
        std::uint32_t maxWaitMs;
        std::size_t requests;
    } cases[] = {
        {"refused login", "", {.status = 401}, CConnectProgressDlg::kMaxWaitMs, 1},
        // Without an answer the window does not wait for ever.
        {"silent device", "", {.action = ReplyAction::Stall}, 500, 1},
        {"port beyond 65535", "70000", {}, CConnectProgressDlg::kMaxWaitMs, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::RecordingMessageSink sink;
        device.ClearRequests();
        Faults("/Login.cgi", c.faults);
        LoginTexts owner = Owner();
        if (!c.port.empty()) {
            owner.port = c.port;
        }
        CConnectProgressDlg dialog(nullptr, owner);
        dialog.m_dwMaxWaitMs = c.maxWaitMs;
        EXPECT_EQ(RunModal(dialog, [] {}), CConnectProgressDlg::kResultFailed);
        EXPECT_EQ(device.Requests("/Login.cgi").size(), c.requests);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Login error !!"});
    }
}

TEST_F(ConnectDialogTest, TheHiddenUpgradePathNeedsASupervisor) {
    int upgrades = 0;
    LoginDialog login(nullptr, {.upgradeFirmware = [&] { ++upgrades; }});
    login.OnInitDialog();
    const auto tryUpgrade = [&](const std::string& user) {
        login.m_strUserName = login.m_strPassword = user;
        login.m_strHost = "127.0.0.1";
        login.m_strPort = Port();
        login.UpdateData(false);
        QTimer::singleShot(10'000, &login, [] {
            if (auto* w = QApplication::activeModalWidget()) {
                static_cast<QDialog*>(w)->done(-100);
            }
        });
        login.OnUpgradeFirmwareButton();
    };
    tryUpgrade("admin");
    EXPECT_EQ(upgrades, 1);
    tryUpgrade("guest");
    EXPECT_EQ(upgrades, 1);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"User level too low"});
}

}  // namespace
