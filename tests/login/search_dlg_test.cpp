#include "login/search_dlg.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <set>

#include "device_emulator.h"
#include "kernel/kernel_object.h"
#include "login/confirm_authority_dlg.h"
#include "login/search_datagram.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/command_sender.h"
#include "protocol/session.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/search_loopback.h"
#include "test_support/udp_flooder.h"
#include "test_support/window_exits.h"

namespace {

using device_emulator::DiscoveryUnit;
using device_emulator::Settings;
using test_support::FreeUdpPort;
using test_support::UdpFlooder;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int v : values) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), '\0');
}

// A device's answer to `operation` with result or device code `code`.
LanSearchBytes AnswerFrom(const std::array<std::uint8_t, 6>& mac, LanSearchOperation operation,
                          std::uint8_t code, std::array<std::uint8_t, 4> address = {10, 9, 9, 9}) {
    LanSearchDatagram answer;
    answer.operation = static_cast<std::uint8_t>(operation);
    answer.code = code;
    answer.mac = mac;
    answer.address = address;
    answer.port = 80;
    return EncodeLanSearchDatagram(answer);
}

// Datagrams for a flooder, each `length` bytes long (zeros after an answer).
std::vector<std::string> Wire(const std::vector<LanSearchBytes>& datagrams,
                              std::size_t length = kLanSearchDatagramSize) {
    std::vector<std::string> wire;
    for (const LanSearchBytes& datagram : datagrams) {
        std::string bytes(datagram.begin(), datagram.end());
        bytes.resize(length, '\0');
        wire.push_back(std::move(bytes));
    }
    return wire;
}

class SearchTest : public ::testing::Test {
protected:
    SearchTest() {
        g_lpApp = new KernelObject;
        g_lpApp->CSettingINI.m_wLastMAC1 = 255;
        g_lpApp->CSettingINI.m_wLastMAC2 = 255;
        device.Start();
        endpoints = test_support::LoopbackSearch(device);
        // The waits of 5, 7 and 12 s pass in a fraction of that.
        platform::SetClockSpeed(25.0);
        // Answers every "Confirm Authority" box the dialog opens.
        QObject::connect(&authorityAnswerer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<CConfirmAuthorityDlg*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            ++authorityShown;
            box->m_editUserName->setText(QString::fromStdString(user));
            box->m_editPassword->setText(QString::fromStdString(password));
            confirm ? box->accept() : box->reject();
        });
        authorityAnswerer.start(5);
    }
    ~SearchTest() override {
        authorityAnswerer.stop();
        platform::JoinAllThreads();
        platform::SetClockSpeed(1.0);
        device.Stop();
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    void Units(std::vector<DiscoveryUnit> units) {
        device.Update([&](Settings& s) { s.discovery.units = std::move(units); });
    }

    // Runs one search to its end.
    void Search(CSearchDlg& dialog) {
        dialog.OnInitDialog();
        WaitForTheSearch(dialog);
    }

    void WaitForTheSearch(CSearchDlg& dialog) {
        QElapsedTimer clock;
        clock.start();
        while (dialog.Searching() && clock.elapsed() < 10'000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        ASSERT_FALSE(dialog.Searching());
    }

    // A search for the default unit with its row chosen.
    void SearchAndChoose(CSearchDlg& dialog) {
        Search(dialog);
        ASSERT_EQ(dialog.m_DeviceList->topLevelItemCount(), 1);
        dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(0));
    }

    // A dialog with one unit of the emulator's default answers found and chosen, and a new
    // address typed. On a shared machine another program may take a port picked as free, and a
    // busy machine may answer after the search has stopped listening: the search is made again,
    // on fresh ports, until it finds the unit.
    std::unique_ptr<CSearchDlg> ChooseAFreshUnit() {
        device.Update([](Settings& s) { s.discovery = {}; });
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0) {
                endpoints.sendPort = FreeUdpPort();
                endpoints.replyPort = FreeUdpPort();
            }
            device.Update([&](Settings& s) { s.discovery.reply_port = endpoints.replyPort; });
            auto dialog = std::make_unique<CSearchDlg>(nullptr, endpoints);
            Search(*dialog);
            if (dialog->m_DeviceList->topLevelItemCount() == 1) {
                dialog->m_DeviceList->setCurrentItem(dialog->m_DeviceList->topLevelItem(0));
                dialog->m_editServerIP->setText("127.0.0.3");
                return dialog;
            }
        }
        ADD_FAILURE() << "no search found the unit";
        return nullptr;
    }

    // Presses APPLY or RESET DEFAULT and waits until the device's answer, or its absence, has
    // been shown.
    static void Command(CSearchDlg& dialog, void (CSearchDlg::*press)()) {
        (dialog.*press)();
        EXPECT_TRUE(test_support::PumpUntil([&] { return !dialog.CommandRunning(); }, 60'000));
    }

    std::string Row(CSearchDlg& dialog, int row) {
        QTreeWidgetItem* item = dialog.m_DeviceList->topLevelItem(row);
        QStringList texts;
        for (int c = 0; c < 5; ++c) {
            texts << item->text(c);
        }
        return texts.join('|').toStdString();
    }

    device_emulator::DeviceEmulator device;
    LanSearchEndpoints endpoints;
    test_support::RecordingMessageSink messages;
    QTimer authorityAnswerer;
    std::string user = "admin";
    std::string password = "admin";
    bool confirm = true;
    int authorityShown = 0;
};

TEST_F(SearchTest, ListsEveryAnswerNewestFirst) {
    DiscoveryUnit dvr;
    dvr.mac = {0x00, 0x0e, 0xaf, 0x01, 0x02, 0x03};
    dvr.device_code = 0x57;
    dvr.network = {{10, 0, 0, 21}, {255, 255, 255, 0}, {10, 0, 0, 1}, {10, 0, 0, 2}, 8080};
    DiscoveryUnit unknown;
    unknown.mac = {0xde, 0xad, 0xbe, 0xef, 0x12, 0x34};
    unknown.device_code = 0x99;
    unknown.network = {{10, 0, 0, 22}, {255, 0, 0, 0}, {10, 0, 0, 1}, {10, 0, 0, 1}, 81};
    Units({dvr, unknown});
    g_lpApp->CSettingINI.m_wLastMAC1 = 0x12;
    g_lpApp->CSettingINI.m_wLastMAC2 = 0x34;

    CSearchDlg dialog(nullptr, endpoints);
    Search(dialog);

    ASSERT_EQ(dialog.m_DeviceList->topLevelItemCount(), 2);
    EXPECT_EQ(Row(dialog, 0), "10.0.0.22|de:ad:be:ef:12:34|81|Video Server|PREVIOUS");
    EXPECT_EQ(Row(dialog, 1), "10.0.0.21|00:0e:af:01:02:03|8080|16CH MPEG4 DVR|");
    EXPECT_EQ(dialog.Nodes()[1].device, 0x32) << "an unknown code is kept as a video server";
    EXPECT_EQ(dialog.windowTitle(), "Stop_Search");
    EXPECT_TRUE(dialog.m_btnApply->isEnabled());
    EXPECT_TRUE(dialog.m_btnSearchAgain->isEnabled());
    EXPECT_EQ(g_strHostName.Get(), "127.0.0.1");

    const std::vector<std::string> sent = device.Datagrams();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Padded("QX_SEARCH", 16) + Bytes({1, 0}) + std::string(38, '\0') +
                           Bytes({127, 0, 0, 1}) + std::string(12, '\0') +
                           Bytes({0x05, 0x0d, 0, 0}));

    dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(1));
    EXPECT_EQ(dialog.m_editServerIP->text(), "10.0.0.21");
    EXPECT_EQ(dialog.m_editNetMask->text(), "255.255.255.0");
    EXPECT_EQ(dialog.m_editDnsServer->text(), "10.0.0.2");
    EXPECT_EQ(dialog.m_editWebPort->text(), "8080");
}

TEST_F(SearchTest, LateRepeatedAndShortAnswers) {
    const struct {
        std::chrono::milliseconds delay;
        int copies;
        std::size_t length;
        int rows;
    } cases[] = {
        {std::chrono::milliseconds(100), 1, 76, 1},  // 2.5 s of the program's clock
        {std::chrono::milliseconds(0), 2, 76, 1},    // one row per device
        {std::chrono::milliseconds(0), 1, 75, 0},
        {std::chrono::milliseconds(0), 0, 76, 0},
    };
    for (const auto& c : cases) {
        device.Update([&](Settings& s) {
            s.discovery.reply_delay = c.delay;
            s.discovery.answer_copies = c.copies;
            s.discovery.reply_length = c.length;
        });
        CSearchDlg dialog(nullptr, endpoints);
        Search(dialog);
        EXPECT_EQ(dialog.m_DeviceList->topLevelItemCount(), c.rows) << c.copies << " " << c.length;
        EXPECT_TRUE(dialog.m_btnOK->isEnabled());
        EXPECT_TRUE(dialog.m_DeviceList->isEnabled());
        EXPECT_EQ(dialog.m_staticNoAnswer->isVisibleTo(&dialog), c.rows == 0)
            << c.copies << " " << c.length;
    }
    EXPECT_TRUE(messages.Texts().empty());
}

// A search that nobody answered says so, and what it needs, in the dialog; the next search
// that finds a device takes the words away.
TEST_F(SearchTest, NoAnswerSaysWhatTheSearchNeeds) {
    Units({});
    CSearchDlg dialog(nullptr, endpoints);
    dialog.show();
    Search(dialog);
    ASSERT_EQ(dialog.m_DeviceList->topLevelItemCount(), 0);
    const QLabel& note = *dialog.m_staticNoAnswer;
    EXPECT_TRUE(note.isVisible());
    EXPECT_EQ(note.text().toStdString(),
              "No device answered. The search asks by UDP broadcast on the local network (to "
              "port " +
                  std::to_string(endpoints.destinationPort) + ", answers to port " +
                  std::to_string(endpoints.replyPort) +
                  "): only devices on this computer's network segment can answer, and a "
                  "firewall on the way must let these datagrams through.");
    // The whole text is on the screen: the label is as high as its wrapped lines.
    QApplication::processEvents();
    EXPECT_GE(note.height(), note.heightForWidth(note.width()));
    EXPECT_TRUE(dialog.rect().contains(note.geometry()));
    EXPECT_TRUE(messages.Texts().empty());

    Units({DiscoveryUnit{}});
    dialog.OnSearchAgain();
    EXPECT_FALSE(note.isVisible()) << "a new search begins without the old words";
    WaitForTheSearch(dialog);
    EXPECT_EQ(dialog.m_DeviceList->topLevelItemCount(), 1);
    EXPECT_FALSE(note.isVisible());
}

TEST_F(SearchTest, ReplyPortInUseLeavesOnlyOk) {
    const int blocker = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoints.replyPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    CSearchDlg dialog(nullptr, endpoints);
    Search(dialog);
    ::close(blocker);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{
                  "Bind the connection is failed,please close dialog and try again"});
    EXPECT_TRUE(dialog.m_btnOK->isEnabled());
    EXPECT_FALSE(dialog.m_btnSearchAgain->isEnabled());
    EXPECT_FALSE(dialog.m_staticNoAnswer->isVisibleTo(&dialog)) << "the box said what failed";
    EXPECT_TRUE(device.Datagrams().empty()) << "nothing is asked before the answer port is bound";
}

TEST_F(SearchTest, ApplySendsTheNewSettingsToTheChosenDevice) {
    DiscoveryUnit other;
    other.mac = {0, 0, 0, 0, 0, 9};
    Units({DiscoveryUnit{}, other});
    CSearchDlg dialog(nullptr, endpoints);
    Search(dialog);
    dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(1));  // the default unit
    dialog.m_editServerIP->setText("127.0.0.9");
    dialog.m_editGateway->setText("127.0.0.254");
    dialog.m_editWebPort->setText("8081");
    Command(dialog, &CSearchDlg::OnApply);

    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Apply setting is successfully"});
    const std::vector<std::string> sent = device.Datagrams();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], Padded("QX_SET_IP", 16) + Bytes({2, 0, 0x00, 0x12, 0xab, 0x34, 0xcd, 0x56}) +
                           Padded("admin", 16) + Padded("admin", 16) + Bytes({127, 0, 0, 9}) +
                           Bytes({255, 0, 0, 0}) + Bytes({127, 0, 0, 254}) + Bytes({127, 0, 0, 1}) +
                           Bytes({0x91, 0x1f, 0, 0}));
    const Settings after = device.Snapshot();
    EXPECT_EQ(after.discovery.units[0].network.address,
              (std::array<std::uint8_t, 4>{127, 0, 0, 9}));
    EXPECT_EQ(after.discovery.units[0].network.web_port, 8081);
    EXPECT_EQ(after.discovery.units[1].network, DiscoveryUnit{}.network) << "the other unit";
    ASSERT_TRUE(dialog.Choice());
    EXPECT_EQ(dialog.Choice()->server, "127.0.0.9");
    EXPECT_EQ(dialog.Choice()->port, 8081);

    ApplySearchChoice(*dialog.Choice());
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.9");
    EXPECT_EQ(GetDeviceAddress().webPort, 8081);
}

TEST_F(SearchTest, ReplyCodesAndTimeOutsBecomeMessages) {
    const struct {
        bool reset;
        std::optional<int> code;  // unset: no answer
        std::string message;
    } cases[] = {
        {false, 1, "Apply setting is successfully"},
        {false, 0, "Username or password is not correct"},
        {false, 2,
         "Server connection type is not static mode.You couldn't change networking "
         "setting here."},
        {false, 7, "Apply setting is failed"},
        {false, std::nullopt, "Send command timeout"},
        {true, 1,
         "Reset to default is successfully.It will take several seconds to finish "
         "reset process"},
        {true, 0, "Username or password is not correct"},
        {true, 2,
         "Server connection type is not static mode.You couldn't change networking "
         "setting here."},
        {true, 9, "Reset to default is failed"},
        {true, std::nullopt, "Send command timeout"},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CSearchDlg> dialog = ChooseAFreshUnit();
        ASSERT_TRUE(dialog);
        device.Update([&](Settings& s) {
            if (c.code) {
                s.discovery.result_code = static_cast<std::uint8_t>(*c.code);
            } else {
                s.discovery.answer_copies = 0;
            }
        });
        // An answer ends the wait, so the answered cases wait at the program's own pace, where a
        // busy machine cannot turn them into time-outs; only the silent ones run fast.
        platform::SetClockSpeed(c.code ? 1.0 : 25.0);
        test_support::RecordingMessageSink seen;
        Command(*dialog, c.reset ? &CSearchDlg::OnResetDefault : &CSearchDlg::OnApply);
        platform::SetClockSpeed(25.0);
        EXPECT_EQ(seen.Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(dialog->DeviceChosen());
        EXPECT_TRUE(dialog->m_btnApply->isEnabled() && dialog->m_btnResetDefault->isEnabled() &&
                    dialog->m_btnSearchAgain->isEnabled() && dialog->m_DeviceList->isEnabled());
    }
}

// APPLY and RESET DEFAULT wait for their device off the window's thread: while a silent device
// keeps them waiting, the window goes on handling events with the buttons that would start
// another exchange greyed, and OK or the window's close leave it at once; the answer that can
// no longer come is dropped, with no box.
TEST_F(SearchTest, ACommandWaitingForItsDeviceKeepsTheWindowAliveAndLeavable) {
    const struct {
        const char* name;
        bool reset;
        bool byOk;
    } cases[] = {
        {"APPLY, the window's close", false, false},
        {"APPLY, OK", false, true},
        {"RESET DEFAULT, the window's close", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<CSearchDlg> dialog = ChooseAFreshUnit();
        ASSERT_TRUE(dialog);
        device.Update([](Settings& s) { s.discovery.answer_copies = 0; });
        // The device's silence lasts the command's whole wait at the program's own pace.
        platform::SetClockSpeed(1.0);
        const std::size_t asked = device.Datagrams().size();
        std::vector<std::string> events;
        QTimer::singleShot(0, dialog.get(), [&] {
            CSearchDlg& d = *dialog;
            ASSERT_TRUE(test_support::PumpUntil([&] { return d.isActiveWindow(); }));
            QPushButton* button = c.reset ? d.m_btnResetDefault : d.m_btnApply;
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, Qt::Key_Space);
            if (d.CommandRunning() && messages.Texts().empty()) {
                events.push_back("pressed, no box");
            }
            if (test_support::PumpUntil([&] { return device.Datagrams().size() > asked; }) &&
                d.CommandRunning()) {
                events.push_back("request sent");
            }
            bool ticked = false;
            QTimer::singleShot(0, &d, [&] { ticked = true; });
            if (test_support::PumpUntil([&] { return ticked; }) && d.CommandRunning()) {
                events.push_back("events handled");
            }
            if (!d.m_btnApply->isEnabled() && !d.m_btnResetDefault->isEnabled() &&
                !d.m_btnSearchAgain->isEnabled() && d.m_btnOK->isEnabled()) {
                events.push_back("greyed");
            }
            if (c.byOk) {
                d.m_btnOK->setFocus(Qt::TabFocusReason);
                QTest::keyClick(d.m_btnOK, Qt::Key_Space);
            } else {
                d.close();
            }
            if (!d.isVisible() && !d.CommandRunning()) {
                events.push_back("left");
            }
            if (d.isVisible()) {
                d.done(-100);
            }
        });
        const int result = dialog->exec();
        platform::SetClockSpeed(25.0);
        QApplication::processEvents();
        EXPECT_EQ(events, (std::vector<std::string>{"pressed, no box", "request sent",
                                                    "events handled", "greyed", "left"}));
        EXPECT_EQ(result, c.byOk ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(messages.Texts().empty()) << "the dropped command shows nothing";
        EXPECT_TRUE(dialog->DeviceChosen()) << "the request went out";
        // OK takes the edits; the dropped command stored no address to hand over.
        EXPECT_EQ(dialog->Choice().has_value(), c.byOk);
        if (c.byOk) {
            EXPECT_EQ(dialog->Choice()->server, "127.0.0.3");
        }
    }
}

// A search ends with every control enabled again and the keyboard at the devices found, or,
// with none, at OK: the first key acts without a Tab first.
TEST_F(SearchTest, AfterASearchTheKeyboardStartsAtTheDevicesOrAtOk) {
    DiscoveryUnit second;
    second.mac[5] = 0x57;
    second.network.address = {127, 0, 0, 7};
    const struct {
        const char* name;
        std::vector<DiscoveryUnit> units;
        Qt::Key key;
    } cases[] = {
        {"two devices, Down", {DiscoveryUnit{}, second}, Qt::Key_Down},
        {"none, Space", {}, Qt::Key_Space},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Units(c.units);
        CSearchDlg dialog(nullptr, endpoints);
        QWidget* focused = nullptr;
        QTimer::singleShot(0, &dialog, [&] {
            WaitForTheSearch(dialog);
            ASSERT_TRUE(test_support::PumpUntil([&] { return dialog.isActiveWindow(); }));
            focused = QApplication::focusWidget();
            test_support::KeyToFocus(c.key);
            if (dialog.isVisible()) {
                dialog.done(-100);
            }
        });
        const int result = dialog.DoModal();
        if (c.units.empty()) {
            EXPECT_EQ(focused, dialog.m_btnOK);
            EXPECT_EQ(result, QDialog::Accepted) << "Space pressed OK";
            EXPECT_FALSE(dialog.Choice());
            continue;
        }
        EXPECT_EQ(focused, dialog.m_DeviceList);
        ASSERT_EQ(dialog.m_DeviceList->topLevelItemCount(), 2);
        // The list took the focus at its top row; Down chose the row under it.
        EXPECT_EQ(dialog.m_DeviceList->currentItem(), dialog.m_DeviceList->topLevelItem(1));
        EXPECT_EQ(dialog.m_editServerIP->text().toStdString(), dialog.Nodes()[0].ip);
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(SearchTest, WrongPasswordAndNonStaticDeviceAreRefusedByTheDevice) {
    DiscoveryUnit dynamic;
    dynamic.static_mode = false;
    Units({dynamic});
    CSearchDlg dialog(nullptr, endpoints);
    SearchAndChoose(dialog);
    password = "wrong";
    Command(dialog, &CSearchDlg::OnResetDefault);
    password = "admin";
    Command(dialog, &CSearchDlg::OnResetDefault);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Username or password is not correct",
                                        "Server connection type is not static mode.You couldn't "
                                        "change networking setting here."}));
    EXPECT_EQ(device.Snapshot().discovery.units[0].resets, 0);
}

TEST_F(SearchTest, RefusalsSendNothing) {
    DiscoveryUnit dvr;
    dvr.device_code = 0x71;
    dvr.mac[5] = 0x77;
    Units({DiscoveryUnit{}, dvr});
    const std::string quadTail = " is not four numbers 0 to 255 separated by \".\"";
    const struct {
        const char* what;
        int row;
        std::function<void(CSearchDlg&)> edit;
        std::string message;
        bool askedAuthority;
    } cases[] = {
        {"unchanged", 1, [](CSearchDlg&) {}, "The apply network setting is not changed", true},
        {"4CH network DVR", 0, [](CSearchDlg&) {}, "It couldn't modify the Network setting", false},
        {"address", 1, [](CSearchDlg& d) { d.m_editServerIP->setText("127.0.0.256"); },
         "Server IP \"127.0.0.256\"" + quadTail, false},
        {"short address", 1, [](CSearchDlg& d) { d.m_editServerIP->setText("10.1.1"); },
         "Server IP \"10.1.1\"" + quadTail, false},
        {"mask", 1, [](CSearchDlg& d) { d.m_editNetMask->setText("255.255.255.0.0"); },
         "Net Mask \"255.255.255.0.0\"" + quadTail, false},
        {"gateway", 1, [](CSearchDlg& d) { d.m_editGateway->setText("a.b.c.d"); },
         "Gateway \"a.b.c.d\"" + quadTail, false},
        {"dns", 1, [](CSearchDlg& d) { d.m_editDnsServer->setText(""); },
         "DNS Server \"\"" + quadTail, false},
        {"mac", 1, [](CSearchDlg& d) { d.m_editMacAddress->setText("00:12:ab:34:cd"); },
         "Mac Address \"00:12:ab:34:cd\" is not six hex pairs separated by \":\"", false},
        {"port", 1, [](CSearchDlg& d) { d.m_editWebPort->setText("65536"); },
         "Please enter an integer between 0 and 65535.", false},
    };
    for (const auto& c : cases) {
        CSearchDlg dialog(nullptr, endpoints);
        Search(dialog);
        device.ClearRequests();
        const std::size_t before = device.Datagrams().size();
        dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(c.row));
        c.edit(dialog);
        authorityShown = 0;
        test_support::RecordingMessageSink seen;
        dialog.OnApply();
        EXPECT_EQ(seen.Texts(), std::vector<std::string>{c.message}) << c.what;
        EXPECT_EQ(authorityShown > 0, c.askedAuthority) << c.what;
        EXPECT_EQ(device.Datagrams().size(), before) << c.what;
        EXPECT_FALSE(dialog.DeviceChosen()) << c.what;
    }
}

TEST_F(SearchTest, CancelledAuthorityOrNoRowSendsNothing) {
    CSearchDlg dialog(nullptr, endpoints);
    Search(dialog);
    dialog.OnApply();
    dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(0));
    confirm = false;
    dialog.OnResetDefault();
    user = "";
    confirm = true;
    dialog.OnResetDefault();
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Need select a item form list", "username is wrong"}));
    EXPECT_EQ(device.Datagrams().size(), 1u);
}

TEST_F(SearchTest, OkHandsOverTheChosenRow) {
    CSearchDlg dialog(nullptr, endpoints);
    Search(dialog);
    dialog.OnOK();
    EXPECT_FALSE(dialog.Choice()) << "no row chosen";
    dialog.m_DeviceList->setCurrentItem(dialog.m_DeviceList->topLevelItem(0));
    dialog.m_editWebPort->setText("8088");
    dialog.OnOK();
    ASSERT_TRUE(dialog.Choice());
    EXPECT_EQ(dialog.Choice()->server, "127.0.0.1");
    EXPECT_EQ(dialog.Choice()->port, 8088);
    EXPECT_EQ(dialog.m_strResultMac, "00:12:ab:34:cd:56");
}

// Enter on a focused button is that button's press; Enter in a field presses nothing, where Qt
// would press the button it made the default (here SEARCH AGAIN).
TEST_F(SearchTest, EnterPressesTheFocusedButtonAndNothingFromAField) {
    CSearchDlg dialog(nullptr, endpoints);
    SearchAndChoose(dialog);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(test_support::PumpUntil([&] { return dialog.isActiveWindow(); }, 5'000));
    const auto enter = [](QWidget* widget) {
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), widget);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
    };
    for (QWidget* field : {static_cast<QWidget*>(dialog.m_editServerIP),
                           static_cast<QWidget*>(dialog.m_editWebPort)}) {
        enter(field);
        EXPECT_FALSE(dialog.Searching());
        EXPECT_FALSE(dialog.DeviceChosen());
        EXPECT_TRUE(dialog.isVisible());
    }
    enter(dialog.m_btnOK);
    EXPECT_TRUE(dialog.DeviceChosen());
    EXPECT_FALSE(dialog.isVisible());
}

// With no device found, the usual case on a network without one, OK and the window manager's
// close leave the search and hand nothing over, without a word about the empty port field;
// Escape stays swallowed.
TEST_F(SearchTest, WithNoDeviceOkAndTheWindowsCloseLeaveHandingNothingOver) {
    Units({});
    const struct {
        const char* name;
        std::function<void(CSearchDlg&)> leave;
    } ways[] = {
        {"Space on OK",
         [](CSearchDlg& dialog) {
             dialog.m_btnOK->setFocus(Qt::TabFocusReason);
             test_support::KeyToFocus(Qt::Key_Space);
         }},
        {"Enter on OK",
         [](CSearchDlg& dialog) {
             dialog.m_btnOK->setFocus(Qt::TabFocusReason);
             test_support::KeyToFocus(Qt::Key_Return);
         }},
        {"the window manager's close", [](CSearchDlg& dialog) { dialog.close(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        CSearchDlg dialog(nullptr, endpoints);
        bool escapeKeptIt = false;
        QTimer::singleShot(0, &dialog, [&] {
            WaitForTheSearch(dialog);
            ASSERT_TRUE(test_support::PumpUntil([&] { return dialog.isActiveWindow(); }));
            test_support::KeyToFocus(Qt::Key_Escape);
            escapeKeptIt = dialog.isVisible();
            way.leave(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "still open";
                dialog.done(-100);
            }
        });
        EXPECT_NE(dialog.DoModal(), -100);
        EXPECT_TRUE(escapeKeptIt);
        EXPECT_FALSE(dialog.Choice());
        EXPECT_TRUE(messages.Texts().empty());
    }
}

TEST_F(SearchTest, EveryStateCanBeLeft) {
    using W = CSearchDlg;
    using test_support::CloseByWindowManager;
    using test_support::PressButton;
    using test_support::PressEscape;
    const auto ok = [](W& w) -> QAbstractButton* { return w.m_btnOK; };
    const auto ended = [this](W& w) { WaitForTheSearch(w); };
    const auto chosen = [this](W& w) {
        WaitForTheSearch(w);
        ASSERT_EQ(w.m_DeviceList->topLevelItemCount(), 1);
        w.m_DeviceList->setCurrentItem(w.m_DeviceList->topLevelItem(0));
    };
    test_support::LeaveEveryWay<W>(
        [this] { return std::make_unique<W>(nullptr, endpoints); }, &W::DoModal,
        {
            {"searching", [](W&) {}, {CloseByWindowManager<W>(), PressEscape<W>(false)}},
            {"a device found, none chosen",
             ended,
             {PressButton<W>("OK", ok), CloseByWindowManager<W>(), PressEscape<W>(false)}},
            {"a device chosen",
             chosen,
             {PressButton<W>("OK", ok), CloseByWindowManager<W>(), PressEscape<W>(false)}},
            {"a device chosen, its port refused",
             [chosen](W& w) {
                 chosen(w);
                 w.m_editWebPort->setText("80a");
             },
             {PressButton<W>("OK", ok, false), CloseByWindowManager<W>()}},
        });
    Units({});
    test_support::LeaveEveryWay<W>(
        [this] { return std::make_unique<W>(nullptr, endpoints); }, &W::DoModal,
        {{"no device answered",
          ended,
          {PressButton<W>("OK", ok), CloseByWindowManager<W>(), PressEscape<W>(false)}}});
}

// Hosts that answer the search without end, under ever new addresses and with datagrams that
// are no answers: one row per device, no more rows than the bound, nothing that fails the checks,
// and the search still ends when its time is up.
TEST_F(SearchTest, AFloodOfAnswersGivesOneRowPerDeviceAndEnds) {
    std::vector<LanSearchBytes> flood;
    for (int i = 0; i < 1000; ++i) {
        flood.push_back(AnswerFrom(
            {0x02, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
            LanSearchOperation::Search, 0x32));
        flood.push_back(AnswerFrom({0x02, 0, 0, 0, 0, 7}, LanSearchOperation::Search, 0x57,
                                   {10, 0, 0, static_cast<std::uint8_t>(i)}));
    }
    const LanSearchBytes noAnswers[] = {
        AnswerFrom({0x01, 0, 0x5e, 0, 0, 1}, LanSearchOperation::Search, 0x32),  // group address
        AnswerFrom({}, LanSearchOperation::Search, 0x32),                        // zero address
    };
    std::vector<LanSearchBytes> junk(std::begin(noAnswers), std::end(noAnswers));
    Units({});
    CSearchDlg dialog(nullptr, endpoints);
    {
        const UdpFlooder answers(endpoints.replyPort, Wire(flood));
        const UdpFlooder wrong(endpoints.replyPort, Wire(junk));
        const UdpFlooder lengths(
            endpoints.replyPort,
            Wire({AnswerFrom({0x04, 0, 0, 0, 0, 2}, LanSearchOperation::Search, 0x32)}, 77));
        Search(dialog);
        EXPECT_GT(answers.Sent(), LanAnswerCollector::kMaxDevices);
    }
    const int rows = dialog.m_DeviceList->topLevelItemCount();
    EXPECT_EQ(rows, static_cast<int>(LanAnswerCollector::kMaxDevices));
    EXPECT_EQ(static_cast<int>(dialog.Nodes().size()), rows);
    std::set<std::string> macs;
    for (int row = 0; row < rows; ++row) {
        const std::string mac = dialog.m_DeviceList->topLevelItem(row)->text(1).toStdString();
        EXPECT_TRUE(mac.starts_with("02:00:00:00:")) << mac;
        macs.insert(mac);
        EXPECT_EQ(dialog.Nodes()[static_cast<std::size_t>(rows - row - 1)].mac, mac);
    }
    EXPECT_EQ(macs.size(), static_cast<std::size_t>(rows)) << "one row per device";
    EXPECT_FALSE(dialog.Searching());
    EXPECT_TRUE(dialog.m_btnSearchAgain->isEnabled());
}

// What counts is a whole datagram from a device, and for a set-address or reset the device that
// was asked; the command and operation bytes are the device's to echo or not.
TEST(LanAnswerCheckTest, OnlyAWholeAnswerFromTheDeviceAskedCounts) {
    const std::array<std::uint8_t, 6> device = {0x00, 0x12, 0xab, 0x34, 0xcd, 0x56};
    const std::optional<LanMac> anyDevice;
    const std::optional<LanMac> asked = device;
    const auto without = [](LanSearchBytes datagram, std::size_t offset, std::size_t length) {
        std::fill_n(datagram.begin() + static_cast<std::ptrdiff_t>(offset), length, 0);
        return datagram;
    };
    const struct {
        const char* what;
        LanSearchBytes datagram;
        std::size_t length;
        std::optional<LanMac> check;
        bool counts;
    } cases[] = {
        {"search answer", AnswerFrom(device, LanSearchOperation::Search, 0x32), 76, anyDevice,
         true},
        {"a search answer whatever its operation byte",
         AnswerFrom(device, LanSearchOperation::Reset, 0x32), 76, anyDevice, true},
        {"reset answer", AnswerFrom(device, LanSearchOperation::Reset, 1), 76, asked, true},
        {"a reset answer without its operation",
         without(AnswerFrom(device, LanSearchOperation::Reset, 1), 16, 1), 76, asked, true},
        {"an apply answer without command and operation",
         without(AnswerFrom(device, LanSearchOperation::SetAddress, 1), 0, 17), 76, asked, true},
        {"an apply answer echoing another operation",
         AnswerFrom(device, LanSearchOperation::Search, 1), 76, asked, true},

        {"short", AnswerFrom(device, LanSearchOperation::Search, 0x32), 75, anyDevice, false},
        {"overlong", AnswerFrom(device, LanSearchOperation::Search, 0x32), 77, anyDevice, false},
        {"zero MAC", AnswerFrom({}, LanSearchOperation::Search, 0x32), 76, anyDevice, false},
        {"group MAC", AnswerFrom({0x01, 0, 0x5e, 0, 0, 1}, LanSearchOperation::Search, 0x32), 76,
         anyDevice, false},
        {"another device",
         AnswerFrom({0x00, 0x12, 0xab, 0x34, 0xcd, 0x57}, LanSearchOperation::Reset, 1), 76, asked,
         false},
    };
    for (const auto& c : cases) {
        std::uint8_t bytes[kLanSearchDatagramSize + 1] = {};
        std::copy(c.datagram.begin(), c.datagram.end(), bytes);
        EXPECT_EQ(IsLanAnswer(bytes, c.length, c.check), c.counts) << c.what;
    }
}

TEST(LanAnswerCollectorTest, KeepsTheLatestAnswerOfBoundedDevicesAndAsksOnce) {
    LanAnswerCollector collector;
    const auto answer = [](int device, std::uint8_t code) {
        return AnswerFrom({0x02, 0, 0, 0, static_cast<std::uint8_t>(device >> 8),
                           static_cast<std::uint8_t>(device)},
                          LanSearchOperation::Search, code);
    };
    EXPECT_TRUE(collector.Offer(answer(1, 0x32)));
    EXPECT_FALSE(collector.Offer(answer(2, 0x32))) << "the dialog was told already";
    EXPECT_FALSE(collector.Offer(answer(1, 0x57)));
    std::vector<LanSearchBytes> taken = collector.Take();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(DecodeLanSearchDatagram(taken[0]).code, 0x57) << "device 1's latest answer";
    EXPECT_EQ(DecodeLanSearchDatagram(taken[1]).mac[5], 2);

    EXPECT_TRUE(collector.Offer(answer(1, 0x32))) << "nothing waited: the dialog is told again";
    for (int device = 3; device < 5000; ++device) {
        collector.Offer(answer(device, 0x32));
    }
    taken = collector.Take();
    // Every device but device 2, which was let in before and did not answer again.
    EXPECT_EQ(taken.size(), LanAnswerCollector::kMaxDevices - 1);
    EXPECT_TRUE(collector.Offer(answer(2, 0x71))) << "a device let in earlier still answers";
    EXPECT_FALSE(collector.Offer(answer(6000, 0x32)));
    EXPECT_EQ(collector.Take().size(), 1u);
}

// Any host can answer a set-address or reset: only the device asked decides the outcome, whether
// it echoes the operation or not; fakes before its answer are passed over.
TEST_F(SearchTest, OnlyTheAskedDeviceAnswersApplyAndReset) {
    const std::array<std::uint8_t, 6> asked = DiscoveryUnit{}.mac;
    const struct {
        bool reset;
        std::uint8_t deviceCode;             // what the device asked answers
        std::uint8_t fakeCode;               // what the fakes say
        std::optional<std::uint8_t> echoed;  // the operation byte the device answers with
        std::string message;
    } cases[] = {
        {false, 7, 1, std::nullopt, "Apply setting is failed"},
        {false, 1, 0, std::nullopt, "Apply setting is successfully"},
        {false, 1, 0, 0, "Apply setting is successfully"},
        {true, 9, 1, std::nullopt, "Reset to default is failed"},
        {true, 1, 2, std::nullopt,
         "Reset to default is successfully.It will take several seconds to finish reset "
         "process"},
        {true, 1, 2, 1,
         "Reset to default is successfully.It will take several seconds to finish reset "
         "process"},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<CSearchDlg> dialog = ChooseAFreshUnit();
        ASSERT_TRUE(dialog);
        const LanSearchOperation operation =
            c.reset ? LanSearchOperation::Reset : LanSearchOperation::SetAddress;
        device.Update([&](Settings& s) {
            s.discovery.result_code = c.deviceCode;
            s.discovery.answer_operation = c.echoed;
            s.discovery.reply_delay = std::chrono::milliseconds(150);
        });
        std::array<std::uint8_t, 6> someoneElse = asked;
        someoneElse[5] ^= 1;
        test_support::RecordingMessageSink seen;
        {
            // A steady stream, not a flood: a full socket buffer would drop the device's answer
            // along with the fakes.
            const UdpFlooder fakes(endpoints.replyPort,
                                   Wire({AnswerFrom(someoneElse, operation, c.fakeCode),
                                         AnswerFrom({}, operation, c.fakeCode)}),
                                   std::chrono::microseconds(500));
            // The device answers; at the program's own pace a busy machine cannot make its
            // answer late.
            platform::SetClockSpeed(1.0);
            Command(*dialog, c.reset ? &CSearchDlg::OnResetDefault : &CSearchDlg::OnApply);
            platform::SetClockSpeed(25.0);
        }
        EXPECT_EQ(seen.Texts(), std::vector<std::string>{c.message});
    }
}

TEST(LanSearchDatagramTest, AddressTextsAreCheckedWhole) {
    EXPECT_EQ(ParseDottedQuad("192.168.001.255"), (std::array<std::uint8_t, 4>{192, 168, 1, 255}));
    EXPECT_EQ(ParseMacText("00:0E:af:01:02:ff"),
              (std::array<std::uint8_t, 6>{0x00, 0x0e, 0xaf, 0x01, 0x02, 0xff}));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.", ".1.2.3", "1..2.3", "1.2.3.4.5", "1.2.3.1000",
                            "1.2.3.-4", "1.2.3.4 ", "0x1.2.3.4"}) {
        EXPECT_FALSE(ParseDottedQuad(bad)) << bad;
    }
    for (const char* bad : {"", "00:11:22:33:44", "00:11:22:33:44:55:66", "0:11:22:33:44:55",
                            "00:11:22:33:44:5g", "001122334455", "00-11-22-33-44-55"}) {
        EXPECT_FALSE(ParseMacText(bad)) << bad;
    }
}

// A text field is 16 bytes: 15 characters go out with their terminating zero, while an answer
// may fill the field and must not run into the next one.
TEST(LanSearchDatagramTest, TextFieldsKeepToTheirSixteenBytes) {
    LanSearchDatagram out;
    out.user = "abcdefghijklmnopqrst";
    const LanSearchBytes sent = EncodeLanSearchDatagram(out);
    EXPECT_EQ(DecodeLanSearchDatagram(sent).user, "abcdefghijklmno");

    LanSearchBytes answer{};
    for (std::size_t i = 24; i < 56; ++i) {
        answer[i] = static_cast<std::uint8_t>(i < 40 ? 'u' : 'p');
    }
    const LanSearchDatagram in = DecodeLanSearchDatagram(answer);
    EXPECT_EQ(in.user, std::string(16, 'u'));
    EXPECT_EQ(in.password, std::string(16, 'p'));
}

}  // namespace
