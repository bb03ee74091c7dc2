#include "protocol/login.h"

#include <gtest/gtest.h>

#include <thread>

#include "device_fixture.h"
#include "test_support/pump.h"
#include "ui/message_ids.h"

namespace {

// The "Connect ..." dialog's side: it receives the login thread's result.
class ResultWindow : public ui::MessageWindow {
public:
    bool OnMessage(std::uint32_t msg, ui::WPARAM, ui::LPARAM lParam) override {
        if (msg == ui::WM_CONNECTRESULT) {
            results.push_back(lParam);
        }
        return true;
    }
    std::vector<ui::LPARAM> results;
};

class LoginObject : public test_support::DeviceFixture {
protected:
    LoginObject() {
        CreateLoginObject();
        g_pLogin->m_pOwner = window.Handle();
        g_pLogin->m_strServer = "127.0.0.1";
        g_pLogin->m_strPort = std::to_string(device.Port());
        g_pLogin->m_strUser = "admin";
        g_pLogin->m_strPassword = "admin";
        SetDeviceAddress("", 0);
    }
    ~LoginObject() override { ReleaseLoginObject(); }

    ui::LPARAM RunThread() {
        EXPECT_TRUE(g_pLogin->CreateThread());
        test_support::PumpUntil([&] { return !window.results.empty(); }, 10'000);
        EXPECT_EQ(window.results.size(), 1u);
        return window.results.empty() ? 0 : window.results.back();
    }

    ResultWindow window;
};

TEST_F(LoginObject, LogsInAndReadsTheDeviceInfo) {
    device.Update([](auto& s) {
        s.identity.lifetime = "4294967295";
        s.identity.video_mode = 1;
        s.identity.mac = "0012AB34CD56";
    });
    EXPECT_EQ(RunThread(), 1);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
    EXPECT_EQ(GetDeviceAddress().webPort, device.Port());
    EXPECT_FALSE(g_szSessionCookie.Empty());
    EXPECT_EQ(g_lpApp->m_DeviceID[0].text, "Q41E");
    EXPECT_EQ(std::string(g_lpApp->m_DeviceID[0].bytes.begin(), g_lpApp->m_DeviceID[0].bytes.end()),
              "0012AB34CD56");
    EXPECT_EQ(g_lpApp->m_DeviceID[1].text, "emulator");
    EXPECT_EQ(g_lpApp->m_strFirmwareVersion, "3.1.4");
    EXPECT_EQ(g_lpApp->m_dwLifeTime, 0xFFFFFFFFu);
    EXPECT_EQ(g_lpApp->m_bVideoMode, 1);
    EXPECT_EQ(g_lpApp->m_wUserLevel, 30);
    EXPECT_EQ(g_lpApp->m_strFPGAVersion, "1.1.0");
    const auto info = device.Requests("/Getdeviceinfo.cgi");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].query, "Cookie=" + g_szSessionCookie.Get() + "&RES=0&QUA=0");
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LoginObject, FailuresPostTheFailureAndTellTheUser) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::string> messages;
    } cases[] = {
        {"wrong password", [] { g_pLogin->m_strPassword = "nope"; }, {"Login error !!"}},
        {"empty user",
         [] { g_pLogin->m_strUser.clear(); },
         {"Username or password is not correct"}},
        {"no session id",
         [this] { Faults("/Login.cgi", {.body = std::string("Product-ID=Q41E;")}); },
         {"Login error !!"}},
        {"session id too long",
         [this] { device.Update([](auto& s) { s.identity.session_id = std::string(64, 's'); }); },
         {"Login error !!"}},
        {"device info fails",
         [this] { Faults("/Getdeviceinfo.cgi", {.status = 500}); },
         {"Login error !!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::RecordingMessageSink sink;
        window.results.clear();
        g_pLogin->m_strUser = "admin";
        g_pLogin->m_strPassword = "admin";
        device.Update([](auto& s) {
            s.faults.clear();
            s.identity.session_id.clear();
        });
        c.arrange();
        EXPECT_EQ(RunThread(), -1);
        g_pLogin->Stop();
        EXPECT_EQ(sink.Texts(), c.messages);
    }
}

TEST_F(LoginObject, ASixtyThreeCharacterSessionIsKept) {
    device.Update([](auto& s) { s.identity.session_id = std::string(63, 'q'); });
    EXPECT_EQ(RunThread(), 1);
    EXPECT_EQ(g_szSessionCookie.Get(), std::string(63, 'q'));
}

// The Session-ID goes back as the "Cookie" value of every later request: one that such a value
// carries as typed (base64 with its padding too) logs in and is taken by the device; one it
// cannot carry is a failed login, and nothing after it is sent.
TEST_F(LoginObject, ASessionIdLogsInWhenACookieValueCarriesIt) {
    const struct {
        std::string id;
        LoginOutcome outcome;
    } cases[] = {
        {"QUJDRA==", LoginOutcome::LoggedIn},
        {"Ab-09_.~!*'()+/:<>@[]^`{|}$", LoginOutcome::LoggedIn},
        {"a%20#b?c=d", LoginOutcome::LoggedIn},
        {"a,b\"c\\d", LoginOutcome::LoggedIn},
        {"jos\xe9", LoginOutcome::LoggedIn},

        {"a&Cookie=b", LoginOutcome::NoSession},
        {"a b", LoginOutcome::NoSession},
        {"a\tb", LoginOutcome::NoSession},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        device.Update([&](auto& s) { s.identity.session_id = c.id; });
        SetDeviceAddress("127.0.0.1", device.Port());
        EXPECT_EQ(SendLoginRequest("admin", "admin"), c.outcome);
        EXPECT_EQ(g_szSessionCookie.Get(), c.outcome == LoginOutcome::LoggedIn ? c.id : "");
        if (c.outcome == LoginOutcome::LoggedIn) {
            // The device knows the session it gets back: it answers with the account's level.
            const auto info = SendDeviceInfoRequest();
            ASSERT_TRUE(info);
            EXPECT_EQ(ParseDeviceInfoReply(*info).userLevel, 30u);
        }
    }
    // An empty session is none: the requests after it would go without a cookie.
    Faults("/Login.cgi", {.body = "Session-ID=;Product-ID=Q41E;"});
    EXPECT_EQ(SendLoginRequest("admin", "admin"), LoginOutcome::NoSession);
    device.ClearRequests();
    g_pLogin->m_strServer = "127.0.0.1";
    EXPECT_EQ(RunThread(), -1);
    EXPECT_EQ(device.Requests("/Login.cgi").size(), 1u);
    EXPECT_TRUE(device.Requests("/Getdeviceinfo.cgi").empty());
}

// A login text goes as typed, so the device judges what the user typed; one that a request
// cannot carry is named and never sent: an "&" would add parameters of its own, and the device
// would judge another user.
TEST_F(LoginObject, LoginTextsGoAsTypedOrAreNamedAndNeverSent) {
    SetDeviceAddress("127.0.0.1", device.Port());
    const struct {
        std::string user;
        std::string password;
        std::optional<std::string> message;
    } cases[] = {
        {"admin", "50%off#1", std::nullopt},
        {"admin", "50%off", std::nullopt},
        {"admin", "a#1", std::nullopt},
        {"admin", "why?", std::nullopt},
        {"admin", "a=b", std::nullopt},
        {"j%C3%B6=?#", "admin", std::nullopt},

        {"admin", "pw&Username=guest&Cookie=x",
         "The password holds characters that cannot be sent to the device: \"&\"."},
        {"admin", "pass word",
         "The password holds characters that cannot be sent to the device: the blank."},
        {"ad min", "admin",
         "The user name holds characters that cannot be sent to the device: the blank."},
        {"admin\r\nX-Evil: 1", "admin",
         "The user name holds characters that cannot be sent to the device: 0x0D, 0x0A, the "
         "blank."},
        {"admin", std::string("ad\0min", 6),
         "The password holds characters that cannot be sent to the device: 0x00."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user + "/" + c.password);
        EXPECT_EQ(RefusedLoginText(c.user, c.password), c.message);
        device.ClearRequests();
        device.Update([&](auto& s) { s.accounts = {{c.user, c.password, 30}}; });
        if (c.message) {
            EXPECT_EQ(SendLoginRequest(c.user, c.password), LoginOutcome::CommandFailed);
            EXPECT_TRUE(device.Requests("/Login.cgi").empty());
            continue;
        }
        EXPECT_EQ(SendLoginRequest(c.user, c.password), LoginOutcome::LoggedIn);
        const auto sent = device.Requests("/Login.cgi");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].query, "Username=" + c.user + "&Password=" + c.password);
    }
}

}  // namespace
