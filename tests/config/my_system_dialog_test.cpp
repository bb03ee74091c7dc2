#include "config/my_system_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <chrono>

#include "config_fixture.h"
#include "protocol/command_sender.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/window_exits.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;
using test_support::PumpUntil;

class SheetTest : public ConfigFixture {
protected:
    std::vector<std::string> TabCaptions(MySystemDialog& sheet) {
        std::vector<std::string> captions;
        for (int i = 0; i < sheet.m_tabs.count(); ++i) {
            captions.push_back(sheet.m_tabs.tabText(i).toStdString());
        }
        return captions;
    }
};

class OtherDeviceSheetTest : public SheetTest {
protected:
    OtherDeviceSheetTest() : SheetTest() {
        g_lpApp->m_DeviceList.Clear();
        g_lpApp->m_DeviceList.Add(0, 0, 7, CDeviceList::kMasterKind);
        g_lpApp->m_DeviceList.Select(CDeviceList::kMasterKind, 0);
    }
};

TEST_F(SheetTest, TheAlarmDatabaseAndBackupTabsBelongToType19) {
    MySystemDialog sheet("System setting", nullptr, 0);
    EXPECT_EQ(TabCaptions(sheet),
              (std::vector<std::string>{"Network", "DDNS", "Account ", "Online User", "Alarm",
                                        "Mail", "FTP", "Alarm database", "File Path", "Device",
                                        "Detection", "Camera", "ToolBox", "Network Backup"}));
}

TEST_F(OtherDeviceSheetTest, OtherDevicesShowTwelveTabs) {
    MySystemDialog sheet("System setting", nullptr, 0);
    EXPECT_EQ(
        TabCaptions(sheet),
        (std::vector<std::string>{"Network", "DDNS", "Account ", "Online User", "Alarm", "Mail",
                                  "FTP", "File Path", "Device", "Detection", "Camera", "ToolBox"}));
}

TEST_F(SheetTest, OnlyTheFirstPageIsCreatedUntilATabIsShown) {
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    EXPECT_TRUE(sheet.m_NetworkPage.IsPageCreated());
    EXPECT_FALSE(sheet.m_MailPage.IsPageCreated());
    sheet.SetActivePage(&sheet.m_MailPage);
    EXPECT_TRUE(sheet.m_MailPage.IsPageCreated());
    EXPECT_EQ(sheet.m_btnExit.text(), "EXIT");
    EXPECT_EQ(sheet.m_btnApply.text(), "APPLY");
    EXPECT_FALSE(sheet.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(SheetTest, ApplyWithNothingEditedSendsNothingAndEndsWithThree) {
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    int waited = 0;
    sheet.m_wait = [&waited](std::uint32_t) { ++waited; };
    QTimer::singleShot(0, &sheet, [&sheet] { sheet.m_btnApply.click(); });
    EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultApplied);
    EXPECT_TRUE(SentSections().empty());
    EXPECT_EQ(waited, 0);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(SheetTest, PppoeWithoutDdnsKeepsTheSheetOpenAndSendsNothing) {
    PutDeviceBytes("IP", 22, std::string(1, '\1'));
    PutDeviceBytes("SMTP", 5, std::string(1, '\0'));
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    // The DDNS tab was never opened: the device's own DDNS byte decides.
    sheet.m_NetworkPage.m_bConnectionType = 1;
    Apply(sheet);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4101)});
    EXPECT_EQ(sheet.result(), 0);
    EXPECT_TRUE(SentSections().empty());
}

TEST_F(SheetTest, ExitSendsNothingAndTheWindowCloseIsACancel) {
    FetchSections();
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        QTimer::singleShot(0, &sheet, [&sheet] { sheet.m_btnExit.click(); });
        EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultExit);
    }
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        QTimer::singleShot(0, &sheet, [&sheet] { sheet.close(); });
        EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultCancel);
    }
    EXPECT_TRUE(SentSections().empty());
}

// Enter typed in a page's field neither discards the sheet (EXIT, which Qt would make the default
// on its own) nor sends it; on a focused button it presses that one.
TEST_F(SheetTest, EnterInAFieldLeavesTheSheetOpenAndOnExitEndsIt) {
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    QTimer::singleShot(0, &sheet, [&sheet] {
        ASSERT_TRUE(PumpUntil([&] { return sheet.isActiveWindow(); }));
        auto* field = sheet.m_tabs.currentWidget()->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        for (QWidget* focus :
             {static_cast<QWidget*>(field), static_cast<QWidget*>(&sheet.m_btnExit)}) {
            focus->setFocus(Qt::TabFocusReason);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(focus, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(focus, &release);
            if (focus == field) {
                EXPECT_TRUE(sheet.isVisible());
            }
        }
    });
    QTimer::singleShot(10'000, &sheet, [&sheet] { sheet.done(-100); });
    EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultExit);
    EXPECT_TRUE(SentSections().empty());
}

// APPLY with a value the page refuses keeps the sheet open on that page, the field selected for
// the fix and nothing sent, whether APPLY is clicked or pressed from the keyboard; once the value
// is put right APPLY goes through.
TEST_F(SheetTest, ARefusedFieldKeepsTheSheetOpenOnItsPage) {
    using test_support::KeyToFocus;
    FetchSections();
    const struct {
        const char* name;
        std::function<void(MySystemDialog&)> apply;
    } applies[] = {
        {"a click on APPLY",
         [](MySystemDialog& sheet) { QTest::mouseClick(&sheet.m_btnApply, Qt::LeftButton); }},
        {"Space on APPLY",
         [](MySystemDialog& sheet) {
             sheet.m_btnApply.setFocus(Qt::TabFocusReason);
             KeyToFocus(Qt::Key_Space);
         }},
    };
    for (const auto& apply : applies) {
        SCOPED_TRACE(apply.name);
        test_support::RecordingMessageSink boxes;
        MySystemDialog sheet("System setting", nullptr, 0);
        QLineEdit& port = sheet.m_NetworkPage.m_editWebPort;
        QTimer::singleShot(0, &sheet, [&] {
            ASSERT_TRUE(PumpUntil([&] { return sheet.isActiveWindow(); }));
            const QString saved = port.text();
            port.setFocus(Qt::TabFocusReason);
            QTest::keyClick(&port, Qt::Key_A, Qt::ControlModifier);
            test_support::TypeToFocus("0");
            apply.apply(sheet);
            PumpUntil([&] { return !sheet.IsWaitingForDevice(); });
            QApplication::processEvents();
            ASSERT_TRUE(sheet.isVisible());
            EXPECT_EQ(boxes.Texts(),
                      std::vector<std::string>{"Enter a whole number from 1 to 65535."});
            EXPECT_EQ(sheet.m_tabs.currentWidget(), &sheet.m_NetworkPage);
            EXPECT_EQ(QApplication::focusWidget(), &port);
            EXPECT_EQ(port.selectedText(), "0");
            // The user types the port over the selection and applies again.
            test_support::TypeToFocus(saved);
            apply.apply(sheet);
        });
        QTimer::singleShot(60'000, &sheet, [&sheet] { sheet.done(-100); });
        EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultApplied);
        EXPECT_TRUE(SentSections().empty());
    }
}

TEST_F(SheetTest, SheetButtonsAreDisabledAndEnabledTogether) {
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.OnInitDialog();
    sheet.DisableSheetButtons();
    EXPECT_FALSE(sheet.m_btnExit.isEnabled());
    EXPECT_FALSE(sheet.m_btnApply.isEnabled());
    sheet.EnableSheetButtons();
    EXPECT_TRUE(sheet.m_btnExit.isEnabled());
    EXPECT_TRUE(sheet.m_btnApply.isEnabled());
}

// Every tab visited and one value changed on each page that sends: one request per section, in
// the fixed order, and the pause only for the network step.
class SheetApplyOrderTest : public SheetTest {
protected:
    void VisitAndEditEveryPage(MySystemDialog& sheet) {
        sheet.OnInitDialog();
        for (CConfigPage* page : sheet.Pages()) {
            sheet.SetActivePage(page);
            ASSERT_TRUE(page->IsPageCreated()) << page->Caption().toStdString();
            // A page that asks the device when it is first shown holds the sheet until then.
            ASSERT_TRUE(PumpUntil([&sheet] { return !sheet.IsWaitingForDevice(); }));
        }
        sheet.SetActivePage(&sheet.m_NetworkPage);
        sheet.m_AccountPage.m_fAccountListChanged = 1;
        QComboBox& duration = sheet.m_AlarmPage.m_comboDuration;
        duration.setCurrentIndex((duration.currentIndex() + 1) % duration.count());
        sheet.m_MailPage.m_editServer.setText("smtp.changed.example");
        sheet.m_FtpPage.m_editDirectory.setText("/changed");
        sheet.m_DevicePage.m_fChanged = 1;
        sheet.m_DetectionPage.m_fDvrLiveChanged = 1;
        sheet.m_DetectionPage.m_fAlarmChanged = 1;
        sheet.m_CameraPage.m_fDvrLiveChanged = 1;
        sheet.m_CameraPage.m_fDvrRecChanged = 1;
        sheet.m_DnsPage.m_ipDns.SetAddress(0x0A000063);
        sheet.m_DnsPage.m_editDomain.setText("changed.example");
        sheet.m_NetworkPage.m_editWebPort.setText(QString::number(FreePort()));
    }
};

// The device takes its time with the first section: APPLY comes back at once, the windows go on
// while the sends wait, and each section still goes once, in the fixed order, as its step left it.
TEST_F(SheetApplyOrderTest, EachChangedSectionGoesOnceInTheFixedOrderWhileTheWindowLivesOn) {
    using namespace std::chrono_literals;
    FetchSections();
    const std::array<std::uint8_t, 440> smtpBefore = g_lpApp->m_SysCfg.SMTP;
    MySystemDialog sheet("System setting", nullptr, 0);
    std::vector<std::uint32_t> waits;
    sheet.m_wait = [&waits](std::uint32_t ms) { waits.push_back(ms); };
    VisitAndEditEveryPage(sheet);
    Faults("/SetSysCfg.cgi", {.reply_delay = 3s, .times = 1});
    // Timer ticks that came while the sends waited: the windows went on meanwhile.
    int ticksWhileWaiting = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { ticksWhileWaiting += sheet.IsWaitingForDevice() ? 1 : 0; });
    timer.start(10);

    sheet.OnClickApply();
    ASSERT_TRUE(sheet.IsWaitingForDevice()) << "APPLY waited for the device";
    EXPECT_FALSE(sheet.m_btnApply.isEnabled());
    EXPECT_FALSE(sheet.m_btnExit.isEnabled());
    EXPECT_FALSE(sheet.m_tabs.isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    ASSERT_TRUE(PumpUntil([&sheet] { return !sheet.IsWaitingForDevice(); }));
    EXPECT_GT(ticksWhileWaiting, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    const auto requests = device.Requests("/SetSysCfg.cgi");
    EXPECT_EQ(SentSections(),
              (std::vector<std::string>{"SECURE", "ALARM", "SMTP", "FTP", "RS485", "DVRLIVE",
                                        "ALARM", "DVRLIVE", "DVRREC", "DNS", "SMTP", "IP"}));
    ASSERT_EQ(requests.size(), 12u);
    const SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
    const auto bytes = [](std::span<const std::uint8_t> block) {
        return std::string(block.begin(), block.end());
    };
    const std::string sectionsAfter[] = {bytes(cfg.SECURE), bytes(cfg.ALARM),   bytes(cfg.SMTP),
                                         bytes(cfg.FTP),    bytes(cfg.RS485),   bytes(cfg.DVRLIVE),
                                         bytes(cfg.ALARM),  bytes(cfg.DVRLIVE), bytes(cfg.DVRREC),
                                         bytes(cfg.DNS),    bytes(cfg.SMTP),    bytes(cfg.IP)};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (i != 2) {
            EXPECT_EQ(requests[i].body, sectionsAfter[i]) << i << " " << SentSections()[i];
        }
    }
    // The mail step's SMTP went out before the DDNS step wrote its fields.
    const std::string& mail = requests[2].body;
    EXPECT_EQ(mail.substr(8, 20), std::string("smtp.changed.example"));
    EXPECT_EQ(mail.substr(328, 48), bytes(std::span(smtpBefore).subspan(328, 48)));
    EXPECT_NE(mail.substr(328, 48), bytes(std::span(cfg.SMTP).subspan(328, 48)));

    EXPECT_EQ(waits, std::vector<std::uint32_t>{3000});
    EXPECT_EQ(sheet.result(), MySystemDialog::kResultApplied);
    EXPECT_EQ(sheet.m_fDeviceListChanged, 1u);
    EXPECT_TRUE(messages.Texts().empty());
}

// Closing the sheet while the device holds a send ends the apply at once: nothing more goes out,
// no address switch is left behind, and nothing is reported.
TEST_F(SheetApplyOrderTest, ClosingTheSheetDuringAStalledSendEndsAtOnce) {
    using namespace std::chrono_literals;
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    bool waited = false;
    sheet.m_wait = [&waited](std::uint32_t) { waited = true; };
    VisitAndEditEveryPage(sheet);
    sheet.m_NetworkPage.m_ipServer.SetAddress(0x7F000002);
    Faults("/SetSysCfg.cgi", {.action = device_emulator::ReplyAction::Stall});
    std::chrono::steady_clock::time_point closedAt;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (sheet.IsWaitingForDevice() && !device.Requests("/SetSysCfg.cgi").empty()) {
            closer.stop();
            closedAt = std::chrono::steady_clock::now();
            sheet.close();
        }
    });
    closer.start(10);
    QTimer::singleShot(0, &sheet, [&sheet] { sheet.m_btnApply.click(); });
    EXPECT_EQ(sheet.DoModal(), MySystemDialog::kResultCancel);
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 5s) << "the close waited for the device";
    EXPECT_FALSE(sheet.IsWaitingForDevice());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"SECURE"});
    EXPECT_FALSE(waited);
    EXPECT_TRUE(messages.Texts().empty()) << "a cancelled apply reports nothing";
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
    std::array<std::uint8_t, 24> ip{};
    ASSERT_EQ(GetConfigSection(CFG_IP, ip.data(), ip.size()), 1);
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1") << "no address switch was left pending";
}

TEST_F(SheetApplyOrderTest, AFailedSendIsReportedAndTheLaterStepsStillSend) {
    FetchSections();
    MySystemDialog sheet("System setting", nullptr, 0);
    sheet.m_wait = [](std::uint32_t) {};
    VisitAndEditEveryPage(sheet);
    // The first send, the account step's SECURE, fails.
    Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
    Apply(sheet);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Set the system config is failed\n"});
    EXPECT_EQ(SentSections().size(), 12u);
    EXPECT_EQ(SentSections().back(), "IP");
    EXPECT_EQ(sheet.result(), MySystemDialog::kResultApplied);
}

TEST(SheetOpeningValuesTest, ReadsWhatTheApplyStepsCompare) {
    SysCfgBlocks cfg;
    cfg.ALARM[6] = 0x08;
    cfg.ALARM[7] = 0x07;
    EXPECT_EQ(SheetOpeningValues::FromSections(cfg).alarmDurationSeconds, 0x0708);
    cfg.ALARM[2] = 0;
    EXPECT_EQ(SheetOpeningValues::FromSections(cfg).alarmPostNumberIndex, 0);
    cfg.ALARM[2] = 4;
    EXPECT_EQ(SheetOpeningValues::FromSections(cfg).alarmPostNumberIndex, 3);

    for (const auto& [name, index] :
         {std::pair{"custom", 0}, {"dyndns", 1}, {"statdns", 2}, {"other", -1}}) {
        std::fill_n(&cfg.SMTP[88], 16, 0);
        std::copy_n(name, std::strlen(name), &cfg.SMTP[88]);
        EXPECT_EQ(SheetOpeningValues::FromSections(cfg).ddnsSystem, index) << name;
    }

    // A mail text that fills its field ends within it from then on; an FTP text without room
    // for its zero byte is taken as empty.
    std::fill_n(&cfg.SMTP[72], 16, 'm');
    std::fill_n(&cfg.FTP[36], 16, 'u');
    std::fill_n(&cfg.FTP[4], 31, 's');
    const SheetOpeningValues v = SheetOpeningValues::FromSections(cfg);
    EXPECT_EQ(v.mailFrom, std::string(15, 'm'));
    EXPECT_EQ(cfg.SMTP[87], 0);
    EXPECT_EQ(v.ftpUser, "");
    EXPECT_EQ(v.ftpServer, std::string(31, 's'));
}

}  // namespace
