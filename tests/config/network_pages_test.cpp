#include <gtest/gtest.h>

#include <QLineEdit>
#include <functional>
#include <memory>

#include "config/data_exchange.h"
#include "config/my_system_dialog.h"
#include "config_fixture.h"
#include "platform/byte_order.h"
#include "ui/string_table.h"

namespace {

using device_emulator::ReplyAction;
using device_emulator::ReplyFaults;
using test_support::ConfigFixture;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

// `text` zero-filled to `width` bytes.
std::string Field(std::string text, std::size_t width) {
    text.resize(width, '\0');
    return text;
}

class NetworkPagesTest : public ConfigFixture {
protected:
    // A device on 192.168.1.20/24 with a PPPoE account, DDNS enabled, and marks in the bytes the
    // client must send back as they came.
    NetworkPagesTest() {
        PutDeviceBytes("IP", 0,
                       Bytes({0x11, 0x22, 0x33, 0x44, 192, 168,  1,    20,   255,  255, 255, 0, 192,
                              168,  1,    1,    80,   0,   0x55, 0x66, 0x77, 0x88, 0,   0x99}));
        PutDeviceBytes("PPPOE", 0, std::string(36, '\x5a'));
        PutDeviceBytes("PPPOE", 36, Field("olduser", 16) + Field("oldpass", 16));
        PutDeviceBytes("DNS", 0, Bytes({1, 2, 3, 4, 8, 8, 4, 4, 5, 6, 7, 8}));
        PutDeviceBytes("SMTP", 5, std::string(1, '\1'));
        PutDeviceBytes("SMTP", 88,
                       Field("statdns", 16) + Field("ddnsuser", 16) + Field("ddnspass", 16));
        PutDeviceBytes("SMTP", 328, Field("cam.example.org", 48) + Field("mailuser", 32));
    }

    // The sheet over freshly fetched sections, with its wait recorded instead of slept.
    std::unique_ptr<MySystemDialog> OpenSheet() {
        FetchSections();
        fetched = {*device.Section("IP"), *device.Section("PPPOE"), *device.Section("DNS"),
                   *device.Section("SMTP")};
        auto sheet = std::make_unique<MySystemDialog>("System setting", nullptr, 0);
        sheet->m_wait = [this](std::uint32_t ms) { waits.push_back(ms); };
        sheet->OnInitDialog();
        return sheet;
    }

    // The device's section with `bytes` written at `offset` into what it held at opening.
    std::string Expected(std::size_t which, std::size_t offset, const std::string& bytes) {
        std::string section = fetched[which];
        section.replace(offset, bytes.size(), bytes);
        return section;
    }

    enum { kIp, kPppoe, kDns, kSmtp };
    std::array<std::string, 4> fetched;
    std::vector<std::uint32_t> waits;
};

TEST_F(NetworkPagesTest, NetworkPageLaysItselfOutForTheDevicesConnectionType) {
    const struct {
        int type;
        bool staticChecked, pppoeChecked, dhcpChecked;
    } cases[] = {
        {0, true, false, false},
        {1, false, true, false},
        {2, false, false, true},
        // An unknown type gets the PPPoE layout but is kept as it is.
        {7, false, true, false},
    };
    for (const auto& c : cases) {
        PutDeviceBytes("IP", 22, std::string(1, static_cast<char>(c.type)));
        auto sheet = OpenSheet();
        NetworkConfigPage& page = sheet->m_NetworkPage;
        EXPECT_EQ(page.m_bConnectionType, c.type);
        EXPECT_EQ(page.m_radioStatic.isChecked(), c.staticChecked) << c.type;
        EXPECT_EQ(page.m_radioPppoe.isChecked(), c.pppoeChecked) << c.type;
        EXPECT_EQ(page.m_radioDhcp.isChecked(), c.dhcpChecked) << c.type;
        EXPECT_EQ(page.m_ipServer.isEnabled(), c.staticChecked) << c.type;
        EXPECT_EQ(page.m_lblAddresses[2].isEnabled(), c.staticChecked) << c.type;
        EXPECT_EQ(page.m_editPppoeUser.isVisibleTo(&page), c.pppoeChecked) << c.type;
        EXPECT_TRUE(page.m_editWebPort.isEnabled());
        // The addresses are shown whatever the type.
        EXPECT_EQ(page.m_ipServer.m_fields[3].text(), "20");
        EXPECT_EQ(page.m_ipNetMask.m_fields[2].text(), "255");
        EXPECT_EQ(page.m_ipGateway.m_fields[3].text(), "1");
        EXPECT_EQ(page.m_editWebPort.text(), "80");
        EXPECT_EQ(page.m_editPppoeUser.text(), "olduser");
        EXPECT_EQ(page.m_editPppoePassword.text(), "oldpass");
    }
}

TEST_F(NetworkPagesTest, SwitchingConnectionTypesKeepsTheTypedPppoeTexts) {
    PutDeviceBytes("IP", 22, std::string(1, '\1'));
    auto sheet = OpenSheet();
    NetworkConfigPage& page = sheet->m_NetworkPage;
    page.m_editPppoeUser.setText("typed");
    page.m_radioStatic.click();
    EXPECT_EQ(page.m_bConnectionType, 0);
    EXPECT_FALSE(page.m_editPppoeUser.isVisibleTo(&page));
    EXPECT_TRUE(page.m_ipServer.isEnabled());
    page.m_radioPppoe.click();
    EXPECT_EQ(page.m_bConnectionType, 1);
    EXPECT_TRUE(page.m_editPppoeUser.isVisibleTo(&page));
    EXPECT_FALSE(page.m_radioStatic.isChecked());
    EXPECT_EQ(page.m_editPppoeUser.text(), "typed");
}

TEST_F(NetworkPagesTest, TheWebPortIsCheckedWhenTheNetworkPageIsLeft) {
    auto sheet = OpenSheet();
    NetworkConfigPage& page = sheet->m_NetworkPage;
    const struct {
        const char* port;
        std::string message;  // empty: the page may be left
    } cases[] = {
        {"", ui::LoadString(4090)},
        {"0", config::IntegerRangePrompt(1, 65535)},
        {"65536", config::IntegerRangePrompt(1, 65535)},
        {"1", ""},
        {"65535", ""},
    };
    for (const auto& c : cases) {
        test_support::RecordingMessageSink boxes;
        page.m_editWebPort.setText(c.port);
        sheet->SetActivePage(&sheet->m_DnsPage);
        if (c.message.empty()) {
            EXPECT_EQ(sheet->m_tabs.currentWidget(), &sheet->m_DnsPage) << c.port;
            EXPECT_EQ(page.m_iWeb_Port, std::atoi(c.port));
            EXPECT_TRUE(boxes.Texts().empty()) << c.port;
            sheet->SetActivePage(&page);
        } else {
            EXPECT_EQ(sheet->m_tabs.currentWidget(), &page) << c.port;
            EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message}) << c.port;
        }
    }
}

TEST_F(NetworkPagesTest, NetworkApplySendsPppoeBeforeIpAndWaitsOnlyForIp) {
    const struct {
        const char* name;
        std::function<void(NetworkConfigPage&)> edit;
        std::vector<std::string> sent;
        bool waits;
    } cases[] = {
        {"nothing", [](NetworkConfigPage&) {}, {}, false},
        {"PPPoE password",
         [](NetworkConfigPage& p) { p.m_editPppoePassword.setText("secret"); },
         {"PPPOE"},
         false},
        {"connection type", [](NetworkConfigPage& p) { p.m_radioDhcp.click(); }, {"IP"}, true},
        {"web port",
         [](NetworkConfigPage& p) { p.m_editWebPort.setText(QString::number(FreePort())); },
         {"IP"},
         true},
        {"user and gateway",
         [](NetworkConfigPage& p) {
             p.m_editPppoeUser.setText("newuser");
             p.m_ipGateway.m_fields[3].setText("254");
         },
         {"PPPOE", "IP"},
         true},
    };
    for (const auto& c : cases) {
        waits.clear();
        auto sheet = OpenSheet();
        c.edit(sheet->m_NetworkPage);
        Apply(*sheet);
        EXPECT_EQ(sheet->result(), MySystemDialog::kResultApplied) << c.name;
        EXPECT_EQ(SentSections(), c.sent) << c.name;
        EXPECT_EQ(waits, c.waits ? std::vector<std::uint32_t>{3000} : std::vector<std::uint32_t>{})
            << c.name;
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(NetworkPagesTest, NetworkApplyRewritesOnlyTheChangedFields) {
    auto sheet = OpenSheet();
    NetworkConfigPage& page = sheet->m_NetworkPage;
    page.m_ipServer.m_fields[3].setText("77");
    page.m_editWebPort.setText("65535");
    page.m_editPppoeUser.setText("u");
    page.m_radioDhcp.click();
    Apply(*sheet);

    std::string ip = Expected(kIp, 4, Bytes({192, 168, 1, 77}));
    ip.replace(16, 2, Bytes({0xff, 0xff}));
    ip[22] = 2;
    EXPECT_EQ(*device.Section("IP"), ip);
    // The user field is rewritten whole; the password and the leading bytes stay as they came.
    EXPECT_EQ(*device.Section("PPPOE"), Expected(kPppoe, 36, Field("u", 16)));
}

TEST_F(NetworkPagesTest, AFailedSendEndsItsOwnStepOnly) {
    // DNS fails: the DDNS step sends no SMTP, and the network step still runs.
    {
        Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
        auto sheet = OpenSheet();
        sheet->SetActivePage(&sheet->m_DnsPage);
        sheet->m_DnsPage.m_ipDns.m_fields[0].setText("9");
        sheet->m_DnsPage.m_editUser.setText("other");
        sheet->m_NetworkPage.m_editWebPort.setText(QString::number(FreePort()));
        Apply(*sheet);
        EXPECT_EQ(SentSections(), (std::vector<std::string>{"DNS", "IP"}));
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4012)});
        EXPECT_EQ(sheet->result(), MySystemDialog::kResultApplied);
        EXPECT_EQ(waits, std::vector<std::uint32_t>{3000});
    }
    // PPPOE fails: the IP fields are not looked at, so nothing more is sent and nobody waits.
    {
        waits.clear();
        Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
        auto sheet = OpenSheet();
        sheet->m_NetworkPage.m_editPppoeUser.setText("newuser");
        sheet->m_NetworkPage.m_radioDhcp.click();
        Apply(*sheet);
        EXPECT_EQ(SentSections(), std::vector<std::string>{"PPPOE"});
        EXPECT_EQ(sheet->result(), MySystemDialog::kResultApplied);
        EXPECT_TRUE(waits.empty());
        EXPECT_EQ(g_lpApp->m_SysCfg.IP[22], 0) << "the connection type was never written";
    }
}

TEST_F(NetworkPagesTest, TheClientFollowsTheDeviceToItsNewAddressAndPort) {
    // The device answers the IP section from where it is, then listens on the new port; the
    // commands after the sheet reach it there.
    const std::uint16_t oldPort = device.Port();
    const std::uint16_t newPort = FreePort();
    {
        auto sheet = OpenSheet();
        sheet->m_NetworkPage.m_editWebPort.setText(QString::number(newPort));
        Apply(*sheet);
    }
    EXPECT_EQ(GetDeviceAddress().webPort, newPort);
    EXPECT_EQ(device.Requests("/SetSysCfg.cgi").size(), 1u);
    ASSERT_EQ(device.Port(), newPort);
    std::array<std::uint8_t, 24> ip{};
    ASSERT_EQ(GetConfigSection(CFG_IP, ip.data(), ip.size()), 1);
    EXPECT_EQ(platform::GetU16(&ip[16]), newPort);
    EXPECT_NE(newPort, oldPort);

    // A new address goes the same way, and only with an IP send the device accepted: one it
    // refuses, or that gets no answer, leaves the client where it is, also after the next
    // accepted command.
    const auto applyNewAddress = [this](std::uint32_t address, ReplyFaults faults) {
        auto sheet = OpenSheet();
        sheet->m_NetworkPage.m_ipServer.SetAddress(address);
        Faults("/SetSysCfg.cgi", faults);
        Apply(*sheet);
    };
    platform::SetClockSpeed(30.0);  // the 15-second receive time-out of the silent device
    const struct {
        const char* name;
        std::uint32_t address;
        ReplyFaults faults;
    } refusals[] = {
        {"refused", 0x7F000002, {.status = 500, .times = 1}},
        {"closed", 0x7F000003, {.action = ReplyAction::CloseWithoutReply, .times = 1}},
        {"silent", 0x7F000004, {.action = ReplyAction::Stall, .times = 1}},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        applyNewAddress(r.address, r.faults);
        EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
        ASSERT_EQ(GetConfigSection(CFG_IP, ip.data(), ip.size()), 1);
        EXPECT_EQ(GetDeviceAddress().server, "127.0.0.1");
        EXPECT_EQ(GetDeviceAddress().webPort, newPort);
    }
    // (The emulator keeps a section it refused, so each send here changes the address.)
    applyNewAddress(0x7F000005, {});
    EXPECT_EQ(GetDeviceAddress().server, "127.0.0.5");
    EXPECT_EQ(GetDeviceAddress().webPort, newPort);
}

TEST_F(NetworkPagesTest, NetworkApplyOfARefusedPageSendsNothing) {
    auto sheet = OpenSheet();
    NetworkConfigPage& page = sheet->m_NetworkPage;
    page.m_editPppoePassword.setText("changed");
    page.m_editWebPort.setText("0");
    Apply(*sheet);
    EXPECT_TRUE(SentSections().empty());
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{config::IntegerRangePrompt(1, 65535)});
    EXPECT_NE(sheet->result(), MySystemDialog::kResultApplied) << "the sheet stays for the fix";
}

TEST_F(NetworkPagesTest, PppoeTextsAreLimitedToTheirFields) {
    auto sheet = OpenSheet();
    NetworkConfigPage& page = sheet->m_NetworkPage;
    page.m_editPppoeUser.selectAll();
    page.m_editPppoeUser.insert(QString(20, 'x'));
    EXPECT_EQ(page.m_editPppoeUser.text(), QString(15, 'x'));
    Apply(*sheet);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"PPPOE"});
    EXPECT_EQ(device.Section("PPPOE")->substr(36, 16), std::string(15, 'x') + '\0');
}

// A section text that the pages show but nobody edits goes back as it came, also when its bytes
// are no UTF-8.
TEST_F(NetworkPagesTest, UneditedSectionTextsKeepTheirBytes) {
    PutDeviceBytes("PPPOE", 36, Field("jos\xe9", 16));
    PutDeviceBytes("SMTP", 104, Field(std::string(15, '\xfc'), 16));
    auto sheet = OpenSheet();
    sheet->SetActivePage(&sheet->m_DnsPage);
    sheet->m_DnsPage.m_editDomain.setText("new.example.org");
    Apply(*sheet);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(SentSections(), std::vector<std::string>{"SMTP"});
    EXPECT_EQ(*device.Section("PPPOE"), fetched[kPppoe]);
    EXPECT_EQ(*device.Section("SMTP"), Expected(kSmtp, 328, Field("new.example.org", 48)));
}

TEST_F(NetworkPagesTest, DdnsPageOpensFromTheSmtpSection) {
    const struct {
        int enable;
        const char* system;
        int index;
    } cases[] = {{1, "statdns", 2}, {0, "custom", 0}, {1, "noip", -1}};
    for (const auto& c : cases) {
        PutDeviceBytes("SMTP", 5, std::string(1, static_cast<char>(c.enable)));
        PutDeviceBytes("SMTP", 88, Field(c.system, 16));
        auto sheet = OpenSheet();
        CDNSPage& page = sheet->m_DnsPage;
        sheet->SetActivePage(&page);
        EXPECT_EQ(page.m_bDdnsEnable, c.enable);
        EXPECT_EQ(page.m_radioEnable.isChecked(), c.enable != 0) << c.system;
        EXPECT_EQ(page.m_radioDisable.isChecked(), c.enable == 0) << c.system;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 &page.m_editUser, &page.m_editPassword, &page.m_editDomain, &page.m_comboSystem}) {
            EXPECT_EQ(control->isEnabled(), c.enable != 0) << c.system;
        }
        // Greyed out or not, the stored account is shown.
        EXPECT_EQ(page.m_editUser.text(), "ddnsuser");
        EXPECT_EQ(page.m_editPassword.text(), "ddnspass");
        EXPECT_EQ(page.m_editDomain.text(), "cam.example.org");
        EXPECT_EQ(page.m_comboSystem.currentIndex(), c.index) << c.system;
        EXPECT_EQ(page.m_ipDns.m_fields[0].text(), "8");
    }
}

TEST_F(NetworkPagesTest, DdnsApplyWritesItsFieldsAndSendsDnsThenSmtp) {
    auto sheet = OpenSheet();
    CDNSPage& page = sheet->m_DnsPage;
    sheet->SetActivePage(&page);
    page.m_ipDns.m_fields[3].setText("8");
    page.m_comboSystem.setCurrentIndex(1);
    page.m_editDomain.setText("x.example.net");
    Apply(*sheet);

    EXPECT_EQ(SentSections(), (std::vector<std::string>{"DNS", "SMTP"}));
    EXPECT_EQ(device.Requests("/SetSysCfg.cgi")[0].Param("Refresh"), "False");
    EXPECT_EQ(*device.Section("DNS"), Expected(kDns, 4, Bytes({8, 8, 4, 8})));
    std::string smtp = Expected(kSmtp, 88, std::string("dyndns") + std::string(10, '\0'));
    smtp.replace(328, 48, Field("x.example.net", 48));
    EXPECT_EQ(*device.Section("SMTP"), smtp);
    EXPECT_TRUE(waits.empty());
}

TEST_F(NetworkPagesTest, DisablingDdnsWhilePppoeIsChosenKeepsTheSheetOpen) {
    auto sheet = OpenSheet();
    sheet->m_NetworkPage.m_radioPppoe.click();
    sheet->SetActivePage(&sheet->m_DnsPage);
    sheet->m_DnsPage.m_radioDisable.click();
    EXPECT_EQ(sheet->m_DnsPage.m_bDdnsEnable, 0);
    EXPECT_FALSE(sheet->m_DnsPage.m_editDomain.isEnabled());
    Apply(*sheet);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4101)});
    EXPECT_EQ(sheet->result(), 0);
    EXPECT_TRUE(SentSections().empty());

    sheet->m_DnsPage.m_radioEnable.click();
    EXPECT_TRUE(sheet->m_DnsPage.m_editDomain.isEnabled());
    Apply(*sheet);
    EXPECT_EQ(sheet->result(), MySystemDialog::kResultApplied);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"IP"});
}

TEST_F(NetworkPagesTest, SntpPageShowsTheServerAndOffersTaipei) {
    PutDeviceBytes("SNTP", 4, Field("time.example.org", 32));
    PutDeviceBytes("SNTP", 36, Bytes({1, 0}));
    auto sheet = OpenSheet();
    CSNTPPage& page = sheet->m_SntpPage;
    page.CreatePage();
    EXPECT_EQ(page.m_editServerName.text(), "time.example.org");
    ASSERT_EQ(page.m_comboZone.count(), 75);
    EXPECT_EQ(page.m_comboZone.currentIndex(), CSNTPPage::kDefaultZone);
    EXPECT_EQ(page.m_comboZone.currentText(), "(GMT+08:00) Taipei");
    EXPECT_EQ(page.m_comboZone.itemText(0), "(GMT-12:00) International Date Line West");
    EXPECT_EQ(page.m_comboZone.itemText(74), "(GMT+13:00) Nuku'alofa");
}

// Each zone's offset is the one its name states, and the names run in id and offset order.
TEST(TimeZoneTableTest, OffsetsMatchTheZoneNames) {
    int previousMinutes = -24 * 60;
    for (std::size_t i = 0; i < kTimeZones.size(); ++i) {
        const TimeZoneRow& zone = kTimeZones[i];
        EXPECT_EQ(zone.stringId, 8448 + i);
        const std::string name = ui::LoadString(zone.stringId);
        // "(GMT) name" or "(GMT+hh:mm) name".
        int hours = 0;
        int minutes = 0;
        if (name.rfind("(GMT) ", 0) != 0) {
            ASSERT_TRUE(name.size() > 13 && name.rfind("(GMT", 0) == 0 && name[7] == ':' &&
                        name[10] == ')' && (name[4] == '+' || name[4] == '-'))
                << zone.stringId << " " << name;
            const int sign = name[4] == '-' ? -1 : 1;
            hours = sign * std::stoi(name.substr(5, 2));
            minutes = sign * std::stoi(name.substr(8, 2));
        }
        EXPECT_EQ(zone.hours, hours) << name;
        EXPECT_EQ(zone.minutes, minutes) << name;
        EXPECT_GE(hours * 60 + minutes, previousMinutes) << name;
        previousMinutes = hours * 60 + minutes;
    }
}

}  // namespace
