#include "login/login_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QKeyEvent>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "kernel/trace_log.h"
#include "login/login_startup.h"
#include "login_fixture.h"
#include "test_support/screenshot.h"
#include "test_support/temp_folder.h"
#include "ui/message_ids.h"
#include "widgets/skin_image.h"

namespace {

using device_emulator::ReplyAction;
using device_emulator::ReplyFaults;

void Key(QWidget* widget, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

void Type(QWidget* widget, const std::string& text) {
    widget->setFocus();
    for (char c : text) {
        Key(widget, 0, QString(QChar(c)));
    }
}

class LoginDialogTest : public test_support::LoginFixture {
protected:
    // Types the four fields as a user would.
    void Fill(const std::string& user, const std::string& password, const std::string& host,
              const std::string& port) {
        Type(dialog.Edit(IDC_EDIT_USERNAME), user);
        Type(dialog.Edit(IDC_EDIT_PASSWORD), password);
        Type(dialog.Edit(IDC_EDIT_HOST), host);
        Type(dialog.Edit(IDC_EDIT_PORT), port);
    }

    LoginDialog dialog;
};

TEST_F(LoginDialogTest, EnterInAFieldLogsInAndEndsTheWindowWithOk) {
    const int result = RunModal(dialog, [this] {
        Fill("admin", "admin", "127.0.0.1", Port());
        Key(dialog.Edit(IDC_EDIT_PORT), Qt::Key_Return);
    });
    EXPECT_EQ(result, LoginDialog::kResultOk);
    EXPECT_EQ(g_lpApp->w_LoginResult, 30);
    EXPECT_FALSE(g_szSessionCookie.Empty());
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
    EXPECT_EQ(GetDeviceAddress().webPort, device.Port());
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName, "admin");
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword, "admin");
    const auto login = device.Requests("/Login.cgi");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].raw, std::string("GET /Login.cgi?Username=admin&Password=admin") +
                                test_support::kRequestHeaders + test_support::kRequestTail);
    // The device information is the main window's to fetch.
    EXPECT_TRUE(device.Requests("/Getdeviceinfo.cgi").empty());
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LoginDialogTest, FailuresShowTheirTextAndCauseInTheWindowAndTheTrace) {
    test_support::TempFolder traceFolder;
    TraceLogInit(300, traceFolder.Path().string() + "/");
    platform::SetNameResolver([](const std::string&) -> std::optional<in_addr_t> { return {}; });
    const struct {
        const char* name;
        ReplyFaults faults;
        std::string host;
        std::string port;  // empty: the emulator's
        bool listening;
        const char* text;
        const char* cause;
        std::size_t requests;
    } cases[] = {
        {"too many users", {.status = 202}, "127.0.0.1", "", true, "Too many user", "", 1},
        {"another product",
         {.body = std::string("Session-ID=77;Product-ID=Q99X;")},
         "127.0.0.1",
         "",
         true,
         "No support this device",
         "",
         1},
        {"no session id",
         {.body = std::string("Product-ID=Q41E;")},
         "127.0.0.1",
         "",
         true,
         "Login procedure failed",
         "no session in the device's answer",
         1},
        {"wrong password",
         {.status = 401},
         "127.0.0.1",
         "",
         true,
         "Login procedure failed",
         "wrong user name or password",
         1},
        {"another refusal",
         {.status = 500},
         "127.0.0.1",
         "",
         true,
         "Login procedure failed",
         "the device refused the login",
         1},
        {"nothing listening",
         {},
         "127.0.0.1",
         "",
         false,
         "Login procedure failed",
         "nothing listening on that port",
         0},
        {"a name that does not resolve",
         {},
         "no-such-recorder.invalid",
         "",
         true,
         "Login procedure failed",
         "no such host",
         0},
        {"no host", {}, "", "", true, "Login procedure failed", "no device address given", 0},
        {"a device that never answers",
         {.action = ReplyAction::Stall},
         "127.0.0.1",
         "",
         true,
         "Login procedure failed",
         "no answer from the device",
         1},
        // 70000 cut to 16 bits is port 4464: no traffic to any port.
        {"port beyond 65535",
         {},
         "127.0.0.1",
         "70000",
         true,
         "Login procedure failed",
         "port out of range 1 to 65535",
         0},
        {"port 0",
         {},
         "127.0.0.1",
         "0",
         true,
         "Login procedure failed",
         "port out of range 1 to 65535",
         0},
    };
    device.Update([](device_emulator::Settings& s) { s.accounts.front().password = "secret"; });
    dialog.OnInitDialog();
    dialog.show();
    std::vector<std::string> traced;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.ClearRequests();
        Faults("/Login.cgi", c.faults);
        device.SetListening(c.listening);
        // The silent device's 15 s reply time-out passes at 50 times the speed.
        platform::SetClockSpeed(c.faults.action == ReplyAction::Stall ? 50.0 : 1.0);
        dialog.m_strUserName = "admin";
        dialog.m_strPassword = "secret";
        dialog.m_strHost = c.host;
        dialog.m_strPort = c.port.empty() ? Port() : c.port;
        dialog.UpdateData(false);
        Key(dialog.Edit(IDC_EDIT_USERNAME), Qt::Key_Enter);
        ASSERT_TRUE(RunUntil([&] { return dialog.m_bError; }));
        EXPECT_EQ(dialog.m_strError, c.text);
        EXPECT_EQ(dialog.m_strErrorCause, c.cause);
        EXPECT_FALSE(dialog.m_bAnimationRunning);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(device.Requests("/Login.cgi").size(), c.requests);
        EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName, c.host);
        traced.push_back("Login to " + c.host + ":" + dialog.m_strPort + " as admin failed: " +
                         c.text + (*c.cause ? std::string(" (") + c.cause : std::string()) +
                         (c.faults.status == 500 ? ", status 500" : "") + (*c.cause ? ")" : ""));
        if (std::string_view(c.name) == "nothing listening") {
            test_support::SaveScreenshot(dialog, "login-failure-cause");
        }
    }
    platform::SetClockSpeed(1.0);
    platform::SetNameResolver({});
    TraceLogClose();
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_NE(g_lpApp->w_LoginResult, 30);

    // trace.log holds one line a failure, in order, and never the password.
    std::ifstream in(traceFolder.Path() / "trace.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("Login to ", 0) == 0) {
            lines.push_back(line);
        }
        EXPECT_EQ(line.find("secret"), std::string::npos);
    }
    EXPECT_EQ(lines, traced);
}

// The contrast ratio of two colours as the accessibility guidelines compute it.
double ContrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(LoginDialogTest, TheErrorTextCanBeReadOnTheSkinBehindIt) {
    const QColor text(0, 20, 255);
    EXPECT_NEAR(ContrastRatio(text, QColor(0x13, 0x18, 0x1E)), 2.16, 0.01) << "the old ground";
    // Every pixel of the background bitmap under both lines of the error text.
    const QImage spacer = ui::LoadSkinImage("BMP\\LOGIN\\spacer.bmp");
    ASSERT_EQ(spacer.size(), QSize(kLoginWidth, kLoginHeight));
    const QRect lines = LoginDialog::ErrorTextRect().united(
        LoginDialog::ErrorTextRect().translated(0, kErrorLineHeight));
    double lowest = 21;
    for (int y = lines.top(); y <= lines.bottom(); ++y) {
        for (int x = lines.left(); x <= lines.right(); ++x) {
            lowest = std::min(lowest, ContrastRatio(text, spacer.pixelColor(x, y)));
        }
    }
    EXPECT_GE(lowest, 4.5);
    std::printf("error text contrast on the login skin: at least %.2f:1\n", lowest);
    // And on screen: nothing covers the text's place, so the window shows the skin there.
    dialog.OnInitDialog();
    dialog.show();
    const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.copy(lines), spacer.convertToFormat(QImage::Format_RGB32).copy(lines));
}

TEST(LoginResultParam, CarriesTheCodeAndTheCauseAndReadsOldCodes) {
    const DialogLoginFailure failure{kLoginFailed, LoginCause::NothingListening};
    EXPECT_EQ(LoginResultParam(failure) & 0xFF, 1u) << "the low byte stays the code";
    EXPECT_EQ(LoginFailureOf(LoginResultParam(failure)), kLoginFailed);
    EXPECT_EQ(LoginCauseOf(LoginResultParam(failure)), LoginCause::NothingListening);
    EXPECT_EQ(LoginCauseOf(kTooManyUsers), LoginCause::None);
    // As typed: trace.log makes the line printable.
    EXPECT_EQ(LoginFailureTraceLine({"cam\xC3\xA9ra", "u", "p", "80"}, failure),
              "Login to cam\xC3\xA9ra:80 as u failed: Login procedure failed (nothing listening "
              "on that port)");
}

TEST_F(LoginDialogTest, TypingStartsInTheFirstEmptyFieldAndTabWalksFieldsThenButtons) {
    // A new user: typing goes into the user name; Tab then walks the fields top down, Connect,
    // Cancel and the icons, and comes round again. The field pictures are no stops.
    std::vector<QWidget*> stops;
    QString typed;
    QImage ringed;
    RunModal(dialog, [&] {
        ASSERT_TRUE(RunUntil([&] { return QApplication::focusWidget() != nullptr; }));
        QWidget* start = QApplication::focusWidget();
        for (char c : std::string("admin")) {
            Key(QApplication::focusWidget(), 0, QString(QChar(c)));
        }
        typed = dialog.Edit(IDC_EDIT_USERNAME)->text();
        for (int i = 0; i < 11; ++i) {
            stops.push_back(QApplication::focusWidget());
            Key(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == dialog.Button(IDC_BTN_CONNECT)) {
                ringed = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
                test_support::SaveScreenshot(dialog, "login-focus-connect");
            }
        }
        EXPECT_EQ(start, dialog.Edit(IDC_EDIT_USERNAME));
        dialog.done(LoginDialog::kResultCancel);
    });
    EXPECT_EQ(typed, "admin");
    const std::vector<QWidget*> expected = {
        dialog.Edit(IDC_EDIT_USERNAME), dialog.Edit(IDC_EDIT_PASSWORD),
        dialog.Edit(IDC_EDIT_HOST),     dialog.Edit(IDC_EDIT_PORT),
        dialog.Button(IDC_BTN_CONNECT), dialog.Button(IDC_BTN_CANCEL),
        dialog.Button(IDC_BTN_ADDRESS), dialog.Button(IDC_BTN_SEARCH),
        dialog.Button(IDC_BTN_PLAYER),  dialog.Button(IDC_BTN_COPY),
        dialog.Edit(IDC_EDIT_USERNAME),
    };
    EXPECT_EQ(stops, expected);
    // The button reached by Tab wears a ring: light outside, dark inside, on every side.
    ASSERT_FALSE(ringed.isNull());
    const QRect connect = dialog.Button(IDC_BTN_CONNECT)->geometry();
    for (const QPoint& outer :
         {connect.topLeft(), connect.bottomRight(), QPoint(connect.center().x(), connect.top())}) {
        EXPECT_EQ(ringed.pixelColor(outer), QColor(Qt::white));
    }
    EXPECT_EQ(ringed.pixelColor(connect.topLeft() + QPoint(1, 1)), QColor(Qt::black));
}

TEST_F(LoginDialogTest, AReturningUserTypesThePasswordAndPressesEnter) {
    dialog.m_strUserName = "admin";
    dialog.m_strHost = "127.0.0.1";
    dialog.m_strPort = Port();
    const int result = RunModal(dialog, [&] {
        ASSERT_TRUE(RunUntil([&] { return QApplication::focusWidget() != nullptr; }));
        EXPECT_EQ(QApplication::focusWidget(), dialog.Edit(IDC_EDIT_PASSWORD));
        for (char c : std::string("admin")) {
            Key(QApplication::focusWidget(), 0, QString(QChar(c)));
        }
        Key(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(result, LoginDialog::kResultOk);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword, "admin");
}

TEST_F(LoginDialogTest, ASecondConnectReplacesALoginStillWaiting) {
    // The first login hangs on a silent device; the user connects again.
    Faults("/Login.cgi", {.action = ReplyAction::Stall, .times = 1});
    const int result = RunModal(dialog, [this] {
        Fill("admin", "admin", "127.0.0.1", Port());
        dialog.OnConnectButton();
        ASSERT_TRUE(device.WaitForRequests("/Login.cgi", 1, std::chrono::seconds(5)));
        dialog.OnConnectButton();
    });
    EXPECT_EQ(result, LoginDialog::kResultOk);
    EXPECT_EQ(device.Requests("/Login.cgi").size(), 2u);
    // The abandoned attempt's failure reached the window and was dropped.
    EXPECT_FALSE(dialog.m_bError);
    EXPECT_EQ(g_lpApp->w_LoginResult, 30);
}

TEST_F(LoginDialogTest, MessagesOfAnotherAttemptAreDropped) {
    dialog.OnInitDialog();
    dialog.OnMessage(ui::WM_LOGINRESULT, kTooManyUsers, 7);
    dialog.OnMessage(ui::WM_LOGINANIMATE, 0, 7);
    dialog.OnMessage(ui::WM_LOGINSUCCESS, 0, 7);
    EXPECT_FALSE(dialog.m_bError);
    EXPECT_FALSE(dialog.m_bAnimationRunning);
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(LoginDialogTest, AnEmptyUserOrPasswordIsRefusedBeforeAnyTraffic) {
    dialog.OnInitDialog();
    for (const auto& [user, password] : {std::pair{"", "admin"}, std::pair{"admin", ""}}) {
        dialog.m_strUserName = user;
        dialog.m_strPassword = password;
        dialog.UpdateData(false);
        dialog.OnConnectButton();
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "Username or password is not correct"));
    EXPECT_TRUE(device.Requests().empty());
}

// A password with "&" would go out as extra parameters and come back as a wrong password: the
// dialog names the text the request cannot carry, and nothing is sent.
TEST_F(LoginDialogTest, ALoginTextARequestCannotCarryIsNamedBeforeAnyTraffic) {
    dialog.OnInitDialog();
    dialog.m_strUserName = "admin";
    dialog.m_strPassword = "pw&Username=guest";
    dialog.UpdateData(false);
    dialog.OnConnectButton();
    dialog.OnUpgradeFirmwareButton();
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>(
                  2, "The password holds characters that cannot be sent to the device: \"&\"."));
    EXPECT_FALSE(dialog.m_bError);
    EXPECT_TRUE(device.Requests().empty());
}

TEST_F(LoginDialogTest, EscapeAndCancelEndTheWindowWithTwo) {
    EXPECT_EQ(RunModal(dialog, [this] { Key(dialog.Edit(IDC_EDIT_HOST), Qt::Key_Escape); }), 2);
    LoginDialog other;
    EXPECT_EQ(RunModal(other, [&other] { other.Button(IDC_BTN_CANCEL)->click(); }), 2);
}

TEST_F(LoginDialogTest, EnterOrSpaceOnAFocusedButtonPressesThatButtonAndEnterInAFieldConnects) {
    constexpr int kStillOpen = 7;
    const struct {
        const char* name;
        int focus;  // a field or a button
        int key;
        int result;
        std::size_t logins;
        int addressBooks;
    } cases[] = {
        {"Enter on Cancel", IDC_BTN_CANCEL, Qt::Key_Return, LoginDialog::kResultCancel, 0, 0},
        {"keypad Enter on Cancel", IDC_BTN_CANCEL, Qt::Key_Enter, LoginDialog::kResultCancel, 0, 0},
        {"Space on Cancel", IDC_BTN_CANCEL, Qt::Key_Space, LoginDialog::kResultCancel, 0, 0},
        {"Enter on the address book", IDC_BTN_ADDRESS, Qt::Key_Return, kStillOpen, 0, 1},
        {"Space on the address book", IDC_BTN_ADDRESS, Qt::Key_Space, kStillOpen, 0, 1},
        {"Enter on Connect", IDC_BTN_CONNECT, Qt::Key_Return, LoginDialog::kResultOk, 1, 0},
        {"Enter in the password", IDC_EDIT_PASSWORD, Qt::Key_Return, LoginDialog::kResultOk, 1, 0},
        {"Space in the user name", IDC_EDIT_USERNAME, Qt::Key_Space, kStillOpen, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int addressBooks = 0;
        LoginDialog window(nullptr, {.addressBook = [&]() -> std::optional<AddressBookEntry> {
                               ++addressBooks;
                               return std::nullopt;
                           }});
        window.m_strUserName = "admin";
        window.m_strPassword = "admin";
        window.m_strHost = "127.0.0.1";
        window.m_strPort = Port();
        const std::size_t loginsBefore = device.Requests("/Login.cgi").size();
        const int result = RunModal(window, [&] {
            QWidget* target = window.Edit(c.focus) ? static_cast<QWidget*>(window.Edit(c.focus))
                                                   : window.Button(c.focus);
            ASSERT_TRUE(RunUntil([&] { return window.isActiveWindow(); }));
            target->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(QApplication::focusWidget(), target);
            Key(target, c.key, c.key == Qt::Key_Space ? QString(" ") : QString());
            // A login ends the window later, from its thread's message.
            if (c.logins == 0 && window.isVisible()) {
                window.done(kStillOpen);
            }
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(device.Requests("/Login.cgi").size() - loginsBefore, c.logins);
        EXPECT_EQ(addressBooks, c.addressBooks);
    }
}

TEST_F(LoginDialogTest, TheAnimationStepsThroughEighteenFramesAndWraps) {
    dialog.OnInitDialog();
    const QImage running = ui::LoadSkinImage("BMP\\LOGIN\\running.bmp");
    EXPECT_EQ(dialog.AnimationRect(), QRect(74, 245, 18 * (running.width() / 2), running.height()));
    for (int tick = 1; tick <= 18; ++tick) {
        dialog.OnMessage(ui::WM_LOGINANIMATE, 0, 0);
        EXPECT_EQ(dialog.m_bFrame, tick % 18);
    }
    EXPECT_TRUE(dialog.m_bAnimationRunning);
}

TEST_F(LoginDialogTest, ControlsSitWhereTheSkinPutsThem) {
    dialog.OnInitDialog();
    dialog.show();
    EXPECT_EQ(dialog.size(), QSize(304, 341));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    // Rounded corners: the window region leaves the corner pixels out.
    const QRegion mask = dialog.mask();
    for (const QPoint corner : {QPoint(0, 0), QPoint(303, 0), QPoint(0, 340), QPoint(303, 340)}) {
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
    }
    EXPECT_TRUE(mask.contains(QPoint(10, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, 10)));
    EXPECT_TRUE(mask.contains(QPoint(152, 170)));

    const struct {
        int id;
        QRect rect;
    } edits[] = {
        {IDC_EDIT_USERNAME, {93, 100, 180, 28}},
        {IDC_EDIT_PASSWORD, {93, 136, 180, 28}},
        {IDC_EDIT_HOST, {93, 172, 180, 28}},
        {IDC_EDIT_PORT, {93, 208, 100, 28}},
    };
    for (const auto& e : edits) {
        EXPECT_EQ(dialog.Edit(e.id)->geometry(), e.rect) << e.id;
        EXPECT_TRUE(dialog.Edit(e.id)->isVisible()) << e.id;
    }
    EXPECT_EQ(dialog.Edit(IDC_EDIT_PASSWORD)->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.Edit(IDC_EDIT_BITRATE)->isVisible());

    const struct {
        int id;
        QRect rect;
        const char* tip;
        const char* face;
    } buttons[] = {
        {IDC_BTN_ADDRESS, {30, 50, 34, 34}, "Address", "BMP\\LOGIN\\address.bmp"},
        {IDC_BTN_SEARCH, {80, 50, 34, 34}, "Search", "BMP\\LOGIN\\search.bmp"},
        {IDC_BTN_PLAYER, {130, 50, 34, 34}, "Player", "BMP\\LOGIN\\player.bmp"},
        {IDC_BTN_COPY, {180, 50, 34, 34}, "Copy", "BMP\\LOGIN\\copy.bmp"},
        {IDC_BTN_UPGRADE, {230, 50, 34, 34}, "Upgrade Firmware", "BMP\\LOGIN\\download.BMP"},
        {IDC_BTN_CONNECT, {50, 275, 32, 32}, "Connect", "BMP\\LOGIN\\enter.bmp"},
        {IDC_BTN_CANCEL, {215, 275, 32, 32}, "Cancel", "BMP\\LOGIN\\cancel.bmp"},
        {IDC_LABEL_USERNAME, {30, 100, 28, 28}, "User Name", "BMP\\LOGIN\\name.BMP"},
        {IDC_LABEL_PASSWORD, {30, 136, 28, 28}, "Password", "BMP\\LOGIN\\password.BMP"},
        {IDC_LABEL_IP, {30, 172, 28, 28}, "IP", "BMP\\LOGIN\\ip.BMP"},
        {IDC_LABEL_PORT, {30, 208, 28, 28}, "Port", "BMP\\LOGIN\\port.BMP"},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.id);
        ui::CVtxButton* button = dialog.Button(b.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry(), b.rect);
        EXPECT_EQ(button->toolTip().toStdString(), b.tip);
        EXPECT_EQ(button->isVisible(), b.id != IDC_BTN_UPGRADE);
        EXPECT_EQ(button->ShownImage(), ui::LoadSkinImage(b.face));
    }
    EXPECT_EQ(dialog.Button(IDC_BTN_CONNECT)->GetStyle(), ui::kVtxPushHover);
    EXPECT_EQ(dialog.Button(IDC_LABEL_IP)->GetStyle(), ui::kVtxSingle);
}

TEST_F(LoginDialogTest, TheVersionIsDrawnWithTheDigitBitmaps) {
    const auto glyphs = VersionGlyphs("0.0.1.5");
    ASSERT_EQ(glyphs.size(), 7u);
    const int digits[] = {0, -1, 0, -1, 1, -1, 5};
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_EQ(glyphs[i].rect, QRect(182 + 10 * static_cast<int>(i), 13, 10, 20));
        EXPECT_EQ(glyphs[i].digit, digits[i]);
    }
    EXPECT_EQ(VersionGlyphs("1.2b")[3].digit, -1);
    EXPECT_EQ(VersionGlyphs("12345678901234").size(), 10u);

    // What is on screen: each glyph's bitmap at its place.
    dialog.OnInitDialog();
    dialog.show();
    const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (const VersionGlyph& g : VersionGlyphs(g_lpApp->m_strAppVersion)) {
        const std::string file = g.digit < 0
                                     ? std::string("BMP\\LOGIN\\login_point.bmp")
                                     : "BMP\\LOGIN\\login_" + std::to_string(g.digit) + ".bmp";
        EXPECT_EQ(shot.copy(g.rect), ui::LoadSkinImage(file).convertToFormat(QImage::Format_RGB32))
            << file;
    }
    std::filesystem::create_directories(TORVEL_SCREENSHOT_DIR);
    dialog.Edit(IDC_EDIT_USERNAME)->setText("admin");
    dialog.Edit(IDC_EDIT_PASSWORD)->setText("admin");
    dialog.Edit(IDC_EDIT_HOST)->setText("192.168.1.10");
    dialog.Edit(IDC_EDIT_PORT)->setText("80");
    for (int tick = 0; tick < 6; ++tick) {
        dialog.OnMessage(ui::WM_LOGINANIMATE, 0, 0);
    }
    EXPECT_TRUE(dialog.grab().save(TORVEL_SCREENSHOT_DIR "/login-dialog.png"));
}

TEST_F(LoginDialogTest, MissingSkinFilesLeaveOnlyTheirPicturesOut) {
    test_support::TempFolder empty;
    platform::SetProgramFolder(empty.Path());
    dialog.OnInitDialog();
    dialog.show();
    for (const LoginEditPlace& place : kLoginEditPlaces) {
        EXPECT_EQ(dialog.Edit(place.controlId)->geometry(),
                  QRect(place.x, place.y, place.width, place.height));
    }
    for (const LoginCommandButton& row : kLoginCommandButtons) {
        ASSERT_NE(dialog.Button(row.controlId), nullptr);
    }
    EXPECT_FALSE(dialog.Button(IDC_BTN_UPGRADE)->isVisible());
    EXPECT_FALSE(dialog.grab().isNull());
}

TEST(NewestRecordFile, PicksTheLatestQrnFileInAnyCase) {
    using namespace std::chrono_literals;
    const auto base = std::filesystem::file_time_type::clock::now() - 1h;
    const struct {
        const char* name;
        std::vector<std::pair<const char*, int>> files;  // name, minutes after base
        const char* newest;                              // empty: none
    } cases[] = {
        {"newest wins", {{"a.qrn", 1}, {"b.qrn", 3}, {"c.qrn", 2}}, "b.qrn"},
        {"extension in any case", {{"a.qrn", 1}, {"B.QRN", 2}}, "B.QRN"},
        {"other files ignored", {{"a.qrn", 1}, {"later.txt", 5}, {"qrn", 6}}, "a.qrn"},
        {"equal times: the later name",
         {{"2024_01_02.qrn", 4}, {"2024_01_01.Qrn", 4}},
         "2024_01_02.qrn"},
        {"no record file", {{"x.avi", 1}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::TempFolder folder;
        for (const auto& [name, minutes] : c.files) {
            std::ofstream(folder.Path() / name) << "x";
            std::filesystem::last_write_time(folder.Path() / name, base + minutes * 1min);
        }
        const auto newest = NewestRecordFile(folder.Path());
        if (*c.newest) {
            ASSERT_TRUE(newest);
            EXPECT_EQ(*newest, folder.Path() / c.newest);
        } else {
            EXPECT_FALSE(newest);
        }
    }
    EXPECT_FALSE(NewestRecordFile("/no/such/folder"));
}

// A player that writes each argument it gets on a line of its own.
class PlayerTest : public LoginDialogTest {
protected:
    void SetUp() override {
        g_lpApp->CSettingINI.m_strProgramPath = programFolder.Path().string() + "/";
        g_lpApp->CSettingINI.m_strRecordPath = (records.Path() / "My Records").string();
        std::filesystem::create_directory(records.Path() / "My Records");
    }
    void InstallPlayer() {
        const auto player = programFolder.Path() / "VideoPlayer";
        std::ofstream(player)
            << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args.tmp\"\n"
               "mv \"$0.args.tmp\" \"$0.args\"\n";
        std::filesystem::permissions(player, std::filesystem::perms::owner_all);
    }
    std::vector<std::string> PlayerArguments() {
        const auto file = programFolder.Path() / "VideoPlayer.args";
        if (!RunUntil([&] { return std::filesystem::exists(file); })) {
            return {"(player not started)"};
        }
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    test_support::TempFolder programFolder;
    test_support::TempFolder records;
};

TEST_F(PlayerTest, ThePlayerGetsTheNewestRecordFileAsItIsNamed) {
    InstallPlayer();
    const auto folder = records.Path() / "My Records";
    std::ofstream(folder / "old.qrn") << "x";
    std::ofstream(folder / "Newest Alarm.QRN") << "x";
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(folder / "old.qrn", now - std::chrono::hours(2));
    std::filesystem::last_write_time(folder / "Newest Alarm.QRN", now - std::chrono::hours(1));
    dialog.OnInitDialog();
    dialog.Button(IDC_BTN_PLAYER)->click();
    EXPECT_EQ(PlayerArguments(), std::vector<std::string>{(folder / "Newest Alarm.QRN").string()});
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PlayerTest, WithoutRecordsThePlayerStartsWithoutArguments) {
    InstallPlayer();
    dialog.OnPlayerButton();
    EXPECT_EQ(PlayerArguments(), std::vector<std::string>{});
}

TEST_F(PlayerTest, AMissingPlayerIsReported) {
    dialog.OnPlayerButton();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Execuate player program is failed"});
}

TEST_F(LoginDialogTest, NeighbourDialogsFillTheFieldsOnlyWhenTheyChoseSomething) {
    std::optional<AddressBookEntry> entry;
    std::optional<SearchChoice> choice;
    std::optional<std::string> folder;
    std::vector<std::string> copies;
    LoginDialog wired(nullptr, {.addressBook = [&] { return entry; },
                                .search = [&](QWidget*) { return choice; },
                                .getPath = [&](QWidget*, const std::string&) { return folder; },
                                .copyProgram =
                                    [&](QWidget*, const std::string& from, const std::string& to) {
                                        copies.push_back(from + " -> " + to);
                                    }});
    wired.OnInitDialog();
    wired.m_strPassword = "secret";
    wired.m_strHost = "10.1.1.1";
    wired.UpdateData(false);

    wired.OnAddressBookButton();
    wired.OnSearchButton();
    wired.OnCopyProgramButton();
    EXPECT_EQ(wired.Edit(IDC_EDIT_HOST)->text(), "10.1.1.1");
    EXPECT_TRUE(copies.empty());

    entry = AddressBookEntry{"cam.local", "viewer", 8080};
    wired.OnAddressBookButton();
    EXPECT_EQ(wired.Edit(IDC_EDIT_HOST)->text(), "cam.local");
    EXPECT_EQ(wired.Edit(IDC_EDIT_USERNAME)->text(), "viewer");
    EXPECT_EQ(wired.Edit(IDC_EDIT_PORT)->text(), "8080");
    EXPECT_EQ(wired.Edit(IDC_EDIT_PASSWORD)->text(), "secret");

    choice = SearchChoice{"192.168.7.9", 81};
    wired.OnSearchButton();
    EXPECT_EQ(wired.Edit(IDC_EDIT_HOST)->text(), "192.168.7.9");
    EXPECT_EQ(wired.Edit(IDC_EDIT_PORT)->text(), "81");
    EXPECT_EQ(GetDeviceAddress().server, "192.168.7.9");
    EXPECT_EQ(GetDeviceAddress().webPort, 81);

    test_support::TempFolder target;
    folder = target.Path().string();
    wired.OnCopyProgramButton();
    EXPECT_TRUE(std::filesystem::is_directory(target.Path() / "BMP"));
    EXPECT_EQ(copies, std::vector<std::string>{g_lpApp->CSettingINI.m_strProgramPath + " -> " +
                                               target.Path().string()});

    // Without hooks the buttons do nothing at all.
    dialog.OnInitDialog();
    dialog.OnAddressBookButton();
    dialog.OnSearchButton();
    dialog.OnCopyProgramButton();
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LoginDialogTest, TheWindowIsDraggedByItsBody) {
    dialog.OnInitDialog();
    dialog.show();
    const QPoint start = dialog.pos();
    const QPoint grip(150, 20);
    QMouseEvent press(QEvent::MouseButtonPress, grip, dialog.mapToGlobal(grip), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    const QPoint to = grip + QPoint(30, 40);
    QMouseEvent move(QEvent::MouseMove, to, dialog.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 40));
}

TEST_F(LoginDialogTest, StartUpPresetsTheWindowFromTheSettings) {
    struct LoginOnly : LoginStartupDialogs {
        void RunMainWindow() override {}
    } startup;
    std::vector<std::string> shown;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<LoginDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        for (int id : {IDC_EDIT_HOST, IDC_EDIT_USERNAME, IDC_EDIT_PASSWORD, IDC_EDIT_PORT,
                       IDC_EDIT_BITRATE}) {
            shown.push_back(window->Edit(id)->text().toStdString());
        }
        window->OnCancelButton();
    });
    EXPECT_EQ(startup.RunLoginDialog({"10.2.3.4", "admin", "8080", "1200"}), 2);
    EXPECT_EQ(shown, (std::vector<std::string>{"10.2.3.4", "admin", "", "8080", "1200"}));
}

}  // namespace
