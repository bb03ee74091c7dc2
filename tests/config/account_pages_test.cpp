#include <gtest/gtest.h>

#include <chrono>

#include "config/account_page.h"
#include "config/data_exchange.h"
#include "config/my_system_dialog.h"
#include "config/online_user_page.h"
#include "config_fixture.h"
#include "test_support/screenshot.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;
using test_support::PumpUntil;

struct StoredAccount {
    int slot;
    std::string user;
    std::string password;
    std::uint8_t level;
    std::uint32_t minutes;
};

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// A field's text up to its first zero byte.
std::string TextAt(const std::string& bytes, std::size_t offset, std::size_t width) {
    const std::string field = bytes.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

class AccountPageTest : public ConfigFixture {
protected:
    AccountPageTest() { g_lpApp->CSettingINI.m_strUserName = "ADMIN"; }

    void PutAccounts(std::uint8_t maxUsers, const std::vector<StoredAccount>& accounts) {
        std::string secure(196, '\0');
        secure[2] = static_cast<char>(maxUsers);
        for (const StoredAccount& a : accounts) {
            secure.replace(8 + 16 * a.slot, a.user.size(), a.user);
            secure.replace(88 + 16 * a.slot, a.password.size(), a.password);
            secure[168 + a.slot] = static_cast<char>(a.level);
            secure.replace(176 + 4 * a.slot, 4, Le32(a.minutes));
        }
        ASSERT_TRUE(device.SetSection("SECURE", secure));
    }

    // Opens the sheet on the account tab.
    AccountPropertyPage& Open(MySystemDialog& sheet) {
        return OpenSheetAt(sheet, sheet.m_AccountPage);
    }

    static void Select(AccountPropertyPage& page, int row) {
        page.m_listAccount.setCurrentItem(page.m_listAccount.topLevelItem(row));
    }

    static void Fill(AccountPropertyPage& page, const std::string& user,
                     const std::string& password, int lifeTime, int level) {
        page.m_editUserName.setText(QString::fromStdString(user));
        page.m_editPassword.setText(QString::fromStdString(password));
        page.m_comboLifeTime.setCurrentIndex(lifeTime);
        page.m_comboLevel.setCurrentIndex(level);
    }

    static std::vector<std::string> Row(AccountPropertyPage& page, int row) {
        const QTreeWidgetItem* item = page.m_listAccount.topLevelItem(row);
        return {item->text(0).toStdString(), item->text(1).toStdString(),
                item->text(2).toStdString()};
    }

    static void Type(QLineEdit& edit, const std::string& text) {
        edit.selectAll();
        edit.insert(QString::fromStdString(text));
    }

    // Message texts shown since the last call.
    std::vector<std::string> NewMessages() {
        std::vector<std::string> all = messages.Texts();
        std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(m_seen),
                                       all.end());
        m_seen = all.size();
        return fresh;
    }

    std::size_t m_seen = 0;
};

// The device as the demo starts it, with the accounts it logs in by and nothing put in SECURE.
TEST_F(AccountPageTest, AFreshDeviceListsItsOwnAccounts) {
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    EXPECT_EQ(page.m_wAccountCount, 2);
    EXPECT_EQ(Row(page, 0), (std::vector<std::string>{"admin", "SUPERVISOR", "INFINITY"}));
    EXPECT_EQ(Row(page, 1), (std::vector<std::string>{"guest", "GUEST", "INFINITY"}));
    EXPECT_EQ(page.m_editMaxUsers.text(), "5");
}

TEST_F(AccountPageTest, DeviceAccountsArePackedIntoTheRowsAndListed) {
    PutAccounts(5, {{0, "admin", "pw0", 30, 30},
                    {2, "carol", "pw2", 7, kUnlimitedLifeTime},
                    {4, "dave", "pw4", 10, 1440}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);

    EXPECT_EQ(page.m_wAccountCount, 3);
    EXPECT_EQ(Row(page, 0), (std::vector<std::string>{"admin", "SUPERVISOR", "30 MIN"}));
    // A level the client does not know reads as the highest.
    EXPECT_EQ(Row(page, 1), (std::vector<std::string>{"carol", "SUPERVISOR", "INFINITY"}));
    EXPECT_EQ(Row(page, 2), (std::vector<std::string>{"dave", "NORMAL USER", "1 DAY"}));
    const auto& rows = g_lpApp->m_AccountRows;
    EXPECT_EQ(rows[1].user, "carol");
    EXPECT_EQ(rows[1].password, "pw2");
    EXPECT_EQ(rows[2].lifetime, 1440u);
    EXPECT_EQ(rows[3].used, 0u);
    EXPECT_FALSE(page.m_editUserName.isVisibleTo(&page));

    // 30 minutes is no choice of the list: EDIT offers INFINITY for it.
    Select(page, 0);
    page.m_btnEdit.click();
    EXPECT_EQ(page.m_comboLifeTime.currentIndex(), 5);
    EXPECT_EQ(page.m_comboLevel.currentIndex(), 0);
    EXPECT_EQ(page.m_editPassword.text(), "pw0");
    EXPECT_TRUE(NewMessages().empty());
}

TEST_F(AccountPageTest, AddEditAndDeleteThenApplySendSecure) {
    PutAccounts(4, {{0, "admin", "pw0", 30, kUnlimitedLifeTime},
                    {1, "bob", "pw1", 20, 60},
                    {2, "carol", "pw2", 10, 5}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);

    page.m_btnAdd.click();
    EXPECT_TRUE(page.m_editUserName.isVisibleTo(&page));
    EXPECT_FALSE(page.m_btnAdd.isEnabled());
    EXPECT_FALSE(sheet.m_btnApply.isEnabled());
    EXPECT_FALSE(sheet.m_btnExit.isEnabled());
    Fill(page, "erin", "secret", 2, 3);
    page.m_btnOk.click();
    EXPECT_TRUE(sheet.m_btnApply.isEnabled());
    EXPECT_EQ(Row(page, 3), (std::vector<std::string>{"erin", "GUEST", "10 MIN"}));

    Select(page, 1);
    page.m_btnEdit.click();
    EXPECT_FALSE(page.m_listAccount.isEnabled());
    Fill(page, "bobby", "new1", 4, 2);
    page.m_btnOk.click();
    EXPECT_EQ(Row(page, 1), (std::vector<std::string>{"bobby", "NORMAL USER", "1 DAY"}));
    EXPECT_TRUE(page.m_listAccount.isEnabled());

    Select(page, 2);
    page.m_btnDelete.click();
    EXPECT_EQ(page.m_wAccountCount, 3);
    EXPECT_EQ(Row(page, 2)[0], "erin");
    EXPECT_TRUE(NewMessages().empty());
    // The deletion selects no other row: a second DELETE asks for a choice first.
    page.m_btnDelete.click();
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4086)});
    EXPECT_EQ(page.m_wAccountCount, 3);

    Apply(sheet);
    ASSERT_EQ(SentSections(), std::vector<std::string>{"SECURE"});
    const std::string sent = device.Requests("/SetSysCfg.cgi")[0].body;
    ASSERT_EQ(sent.size(), 196u);
    EXPECT_EQ(sent[2], 4);
    const struct {
        std::string user, password;
        std::uint8_t level;
        std::uint32_t minutes;
    } expected[] = {{"admin", "pw0", 30, kUnlimitedLifeTime},
                    {"bobby", "new1", 10, 1440},
                    {"erin", "secret", 0, 10}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TextAt(sent, 8 + 16 * i, 16), expected[i].user) << i;
        EXPECT_EQ(TextAt(sent, 88 + 16 * i, 16), expected[i].password) << i;
        EXPECT_EQ(static_cast<std::uint8_t>(sent[168 + i]), expected[i].level) << i;
        EXPECT_EQ(sent.substr(176 + 4 * i, 4), Le32(expected[i].minutes)) << i;
    }
    // The place the deleted row left is cleared; level and life time stay as they were.
    EXPECT_EQ(sent.substr(8 + 16 * 3, 16), std::string(16, '\0'));
    EXPECT_EQ(sent.substr(88 + 16 * 3, 16), std::string(16, '\0'));
    EXPECT_EQ(sent.substr(8 + 16 * 4, 16), std::string(16, '\0'));
    EXPECT_EQ(*device.Section("SECURE"), sent);
}

TEST_F(AccountPageTest, AnEditKeepsALevelAndLifeTimeTheListsLackUnlessChosen) {
    // 25 is no level code and 30 minutes no life-time entry: changing only the password keeps
    // both; choosing an entry replaces them.
    PutAccounts(5, {{0, "admin", "pw0", 30, kUnlimitedLifeTime}, {1, "bob", "pw1", 25, 30}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    const std::vector<std::string> before = Row(page, 1);

    Select(page, 1);
    page.m_btnEdit.click();
    Type(page.m_editPassword, "new1");
    page.m_btnOk.click();
    EXPECT_EQ(Row(page, 1), before);
    Apply(sheet);
    ASSERT_EQ(SentSections(), std::vector<std::string>{"SECURE"});
    std::string sent = device.Requests("/SetSysCfg.cgi")[0].body;
    EXPECT_EQ(TextAt(sent, 88 + 16, 16), "new1");
    EXPECT_EQ(static_cast<std::uint8_t>(sent[169]), 25);
    EXPECT_EQ(sent.substr(180, 4), Le32(30));

    MySystemDialog again("System setting", nullptr, 0);
    AccountPropertyPage& second = Open(again);
    Select(second, 1);
    second.m_btnEdit.click();
    second.m_comboLifeTime.setCurrentIndex(3);
    second.m_comboLevel.setCurrentIndex(1);
    second.m_btnOk.click();
    Apply(again);
    sent = device.Requests("/SetSysCfg.cgi").back().body;
    EXPECT_EQ(static_cast<std::uint8_t>(sent[169]), 20);
    EXPECT_EQ(sent.substr(180, 4), Le32(60));
}

TEST_F(AccountPageTest, OnlyAChangedMaximumSendsAndAFailedSendSaysSo) {
    PutAccounts(5, {{0, "admin", "pw0", 30, 1}});
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        Open(sheet);
        Apply(sheet);
        EXPECT_TRUE(SentSections().empty());
    }
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    Type(page.m_editMaxUsers, "2");
    Faults("/SetSysCfg.cgi", {.status = 500});
    Apply(sheet);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"SECURE"});
    EXPECT_EQ(NewMessages(), std::vector<std::string>{"Set the system config is failed\n"});
    EXPECT_EQ(sheet.result(), MySystemDialog::kResultApplied);
    EXPECT_EQ(g_lpApp->m_SysCfg.SECURE[2], 2);
}

TEST_F(AccountPageTest, TypedMaximumIsHeldToOneToFive) {
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    const struct {
        std::string typed;
        std::string shown;
        bool refused;
    } cases[] = {{"9", "5", true},
                 {"0", "3", true},
                 {"000", "3", true},
                 {"4", "4", false},
                 {"123456789012345", "5", true},
                 {"05", "5", false}};
    for (const auto& c : cases) {
        Type(page.m_editMaxUsers, c.typed);
        EXPECT_EQ(page.m_editMaxUsers.text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(NewMessages(), c.refused ? std::vector<std::string>{ui::LoadString(4043)}
                                           : std::vector<std::string>{})
            << c.typed;
    }
    // An empty maximum keeps the user on the page.
    Type(page.m_editMaxUsers, "");
    sheet.SetActivePage(&sheet.m_MailPage);
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4042)});
    EXPECT_EQ(sheet.m_tabs.currentWidget(), &page);
}

TEST_F(AccountPageTest, TheMaximumAndTheFiveRowsLimitAdding) {
    PutAccounts(3, {{0, "a", "1", 0, 1}, {1, "b", "1", 0, 1}, {2, "c", "1", 0, 1}});
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        AccountPropertyPage& page = Open(sheet);
        page.m_btnAdd.click();
        EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4002)});
        EXPECT_FALSE(page.m_editUserName.isVisibleTo(&page));
        // Lowering the maximum while the edit area is open refuses the new row at OK.
        Type(page.m_editMaxUsers, "4");
        page.m_btnAdd.click();
        Type(page.m_editMaxUsers, "3");
        Fill(page, "d", "1", 0, 0);
        page.m_btnOk.click();
        EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4002)});
        EXPECT_EQ(page.m_wAccountCount, 3);
    }
    // A device that reports no maximum (0) still has only five rows: the sixth account is
    // refused instead of being written past them.
    PutAccounts(0, {{0, "a", "1", 0, 1},
                    {1, "b", "1", 0, 1},
                    {2, "c", "1", 0, 1},
                    {3, "d", "1", 0, 1},
                    {4, "e", "1", 0, 1}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    page.m_btnAdd.click();
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4002)});
    EXPECT_EQ(page.m_wAccountCount, 5);
    EXPECT_TRUE(sheet.m_btnApply.isEnabled());
}

TEST_F(AccountPageTest, RefusalsOfAnEmptyListOrAnIncompleteRow) {
    PutAccounts(5, {});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    page.m_btnDelete.click();
    EXPECT_EQ(NewMessages(),
              (std::vector<std::string>{ui::LoadString(4045), ui::LoadString(4086)}));
    page.m_btnEdit.click();
    EXPECT_EQ(NewMessages(),
              (std::vector<std::string>{ui::LoadString(4046), ui::LoadString(4087)}));

    page.m_btnAdd.click();
    Fill(page, "erin", "", 0, 0);
    page.m_btnOk.click();
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4002)});
    EXPECT_EQ(page.m_wAccountCount, 0);
    EXPECT_FALSE(page.m_editUserName.isVisibleTo(&page));
    EXPECT_TRUE(sheet.m_btnApply.isEnabled());

    page.m_btnAdd.click();
    Fill(page, "erin", "pw", 0, 0);
    page.m_btnExit.click();
    EXPECT_EQ(page.m_wAccountCount, 0);
    EXPECT_EQ(page.m_editUserName.text(), "");
    EXPECT_TRUE(sheet.m_btnExit.isEnabled());

    page.m_btnAdd.click();
    Fill(page, "erin", "pw", 0, -1);
    page.m_btnOk.click();
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4002)});
    Apply(sheet);
    EXPECT_TRUE(SentSections().empty());
}

TEST_F(AccountPageTest, TheLoginAccountStaysAndKeepsItsLevel) {
    PutAccounts(5, {{0, "guest", "g", 0, 1}, {1, "admin", "pw0", 30, 60}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);

    Select(page, 1);
    page.m_btnDelete.click();
    EXPECT_EQ(NewMessages(), std::vector<std::string>{ui::LoadString(4069)});
    EXPECT_EQ(page.m_wAccountCount, 2);

    page.m_btnEdit.click();
    Fill(page, "admin", "changed", 1, 3);
    page.m_btnOk.click();
    EXPECT_EQ(Row(page, 1), (std::vector<std::string>{"admin", "SUPERVISOR", "5  MIN"}));
    EXPECT_EQ(g_lpApp->m_AccountRows[1].level, 30);
    // The client keeps logging in with the password the device knows until it got the new one.
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword, "pirow");

    Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
    Apply(sheet);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword, "pirow");

    MySystemDialog again("System setting", nullptr, 0);
    AccountPropertyPage& retry = Open(again);
    Select(retry, 1);
    retry.m_btnEdit.click();
    Fill(retry, "Admin", "changed", 1, 3);
    retry.m_btnOk.click();
    Apply(again);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strPassword, "changed");
    EXPECT_EQ(g_lpApp->CSettingINI.m_strUserName, "Admin");
    EXPECT_EQ(TextAt(*device.Section("SECURE"), 88 + 16, 16), "changed");
}

TEST_F(AccountPageTest, SectionTextsAreHeldToTheirFifteenBytes) {
    PutAccounts(5, {});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    page.m_btnAdd.click();
    Type(page.m_editUserName, std::string(20, 'n'));
    EXPECT_EQ(page.m_editUserName.text().size(), 15);
    // Fifteen characters that need more than fifteen bytes do not fit the device's field.
    page.m_comboLifeTime.setCurrentIndex(0);
    page.m_comboLevel.setCurrentIndex(0);
    page.m_editPassword.setText(QString(12, QChar(0xe9)));
    page.m_btnOk.click();
    EXPECT_EQ(NewMessages(),
              (std::vector<std::string>{config::TextLengthPrompt(15), ui::LoadString(4002)}));
    EXPECT_EQ(page.m_wAccountCount, 0);

    // The same refusal while editing leaves the row as it was.
    PutAccounts(5, {{0, "admin", "pw0", 30, 60}, {1, "bob", "pw1", 20, 5}});
    MySystemDialog again("System setting", nullptr, 0);
    AccountPropertyPage& edited = Open(again);
    Select(edited, 1);
    edited.m_btnEdit.click();
    edited.m_comboLevel.setCurrentIndex(3);
    edited.m_editPassword.setText(QString(12, QChar(0xe9)));
    edited.m_btnOk.click();
    EXPECT_EQ(NewMessages(),
              (std::vector<std::string>{config::TextLengthPrompt(15), ui::LoadString(4022)}));
    EXPECT_EQ(g_lpApp->m_AccountRows[1].password, "pw1");
    EXPECT_EQ(g_lpApp->m_AccountRows[1].level, 20);
    EXPECT_EQ(edited.m_fAccountListChanged, 0u);
}

// An account is taken with what the login sends as typed; one whose name or password the login
// could not send would lock its user out, and is refused in the login's own words.
TEST_F(AccountPageTest, TakesWhatTheLoginCanSendAndRefusesTheRestInItsWords) {
    PutAccounts(5, {{0, "admin", "pw0", 30, 60}, {1, "bob", "pw1", 20, 5}});
    MySystemDialog sheet("System setting", nullptr, 0);
    AccountPropertyPage& page = Open(sheet);
    const std::string cannot = "holds characters that cannot be sent to the device: ";
    const struct {
        std::string user;
        std::string password;
        std::vector<std::string> refusal;
    } cases[] = {
        {"erin", "50%off#1", {}},
        {"frank", "a=b?", {}},
        {"gina", "pass word", {"The password " + cannot + "the blank."}},
        {"gina", "a&b", {"The password " + cannot + "\"&\"."}},
        {"gi na", "pw", {"The user name " + cannot + "the blank."}},
    };
    AccountRow edited = g_lpApp->m_AccountRows[1];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user + "/" + c.password);
        const std::uint16_t count = page.m_wAccountCount;
        page.m_btnAdd.click();
        Fill(page, c.user, c.password, 0, 3);
        page.m_btnOk.click();
        EXPECT_EQ(NewMessages(), c.refusal);
        EXPECT_EQ(page.m_wAccountCount, c.refusal.empty() ? count + 1 : count);

        // The same texts as an edit of the second account: refused, it stays as it was.
        Select(page, 1);
        page.m_btnEdit.click();
        Fill(page, c.user, c.password, 0, 3);
        page.m_btnOk.click();
        EXPECT_EQ(NewMessages(), c.refusal);
        if (c.refusal.empty()) {
            edited.user = c.user;
            edited.password = c.password;
        }
        EXPECT_EQ(g_lpApp->m_AccountRows[1].user, edited.user);
        EXPECT_EQ(g_lpApp->m_AccountRows[1].password, edited.password);
    }
    Apply(sheet);
    const std::string secure = *device.Section("SECURE");
    EXPECT_EQ(TextAt(secure, 8 + 16, 16), "frank");
    EXPECT_EQ(TextAt(secure, 88 + 16, 16), "a=b?");
    EXPECT_EQ(TextAt(secure, 8 + 16 * 2, 16), "erin");
    EXPECT_EQ(TextAt(secure, 88 + 16 * 2, 16), "50%off#1");
    EXPECT_EQ(TextAt(secure, 8 + 16 * 4, 16), "");
}

class OnlineUserPageTest : public ConfigFixture {
protected:
    static std::string Entry(const std::string& name, std::array<std::uint8_t, 4> address,
                             std::uint8_t level, std::uint8_t resolution, std::uint8_t quality) {
        std::string entry(24, '\0');
        entry.replace(0, name.size(), name);
        std::copy(address.begin(), address.end(), entry.begin() + 16);
        entry[20] = static_cast<char>(level);
        entry[22] = static_cast<char>(resolution);
        entry[23] = static_cast<char>(quality);
        return entry;
    }

    static std::vector<std::vector<std::string>> Rows(COnlineUserPage& page) {
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < page.m_listOnline.topLevelItemCount(); ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < 5; ++c) {
                cells.push_back(page.m_listOnline.topLevelItem(r)->text(c).toStdString());
            }
            rows.push_back(cells);
        }
        return rows;
    }
};

TEST_F(OnlineUserPageTest, ListsTheNamedEntriesWithTheVideoStandardsSizes) {
    FetchSections();
    std::string online(240, '\0');
    online.replace(0, 24, Entry("admin", {192, 168, 1, 10}, 30, 1, 0));
    online.replace(72, 24, Entry("guest", {10, 0, 0, 254}, 5, 2, 9));
    // The sixth entry lies beyond what the client reads.
    online.replace(120, 24, Entry("ghost", {1, 2, 3, 4}, 0, 0, 0));
    std::copy(online.begin(), online.end(), g_lpApp->m_SysCfg.ONLINE.begin());
    for (const auto& [pal, middle, small] :
         {std::tuple{1, "320*276", "160*138"}, {0, "320*228", "160*114"}}) {
        g_lpApp->m_abVideoInfo[2] = static_cast<std::uint8_t>(pal);
        MySystemDialog sheet("System setting", nullptr, 0);
        sheet.OnInitDialog();
        sheet.SetActivePage(&sheet.m_OnlineUserPage);
        COnlineUserPage& page = sheet.m_OnlineUserPage;
        EXPECT_EQ(Rows(page), (std::vector<std::vector<std::string>>{
                                  {"admin", "192.168.1.10", "SUPERVISOR", middle, "HIGH"},
                                  {"guest", "10.0.0.254", "", small, ""}}))
            << pal;
        EXPECT_EQ(page.m_wRowCount, 2);
        EXPECT_EQ(page.m_listOnline.headerItem()->text(3), "Resolution");
        // Every cell whole: no column narrower than its text.
        for (int r = 0; r < page.m_listOnline.topLevelItemCount(); ++r) {
            for (int c = 0; c < 5; ++c) {
                const QString text = page.m_listOnline.topLevelItem(r)->text(c);
                EXPECT_GT(page.m_listOnline.columnWidth(c),
                          page.m_listOnline.fontMetrics().horizontalAdvance(text))
                    << text.toStdString();
            }
        }
        if (pal == 1) {
            test_support::SaveScreenshot(sheet, "sheet-04-online-user-listed");
        }
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(OnlineUserPageTest, RefreshRereadsAndAFailedOneKeepsTheRows) {
    // Nobody is logged in to the emulator when the sheet opens.
    g_lpApp->m_abVideoInfo[2] = 1;
    MySystemDialog sheet("System setting", nullptr, 0);
    COnlineUserPage& page = OpenSheetAt(sheet, sheet.m_OnlineUserPage);
    EXPECT_EQ(page.m_wRowCount, 0);

    std::string online(240, '\0');
    online.replace(24, 24, Entry("bob", {127, 0, 0, 2}, 10, 0, 1));
    online.replace(48, 24, Entry("eve", {127, 0, 0, 3}, 20, 3, 1));
    // A slow answer: the refresh waits off the window's thread, with the sheet held meanwhile.
    Faults("/GetSysCfg.cgi",
           {.body = online, .reply_delay = std::chrono::milliseconds(500), .times = 1});
    page.m_btnRefresh.click();
    EXPECT_TRUE(sheet.IsWaitingForDevice());
    EXPECT_FALSE(sheet.m_btnApply.isEnabled());
    ASSERT_TRUE(PumpUntil([&sheet] { return !sheet.IsWaitingForDevice(); }));
    EXPECT_TRUE(sheet.m_btnApply.isEnabled());
    EXPECT_EQ(Rows(page), (std::vector<std::vector<std::string>>{
                              {"bob", "127.0.0.2", "NORMAL USER", "640*552", "MIDDLE"},
                              {"eve", "127.0.0.3", "HIGH USER", "", "MIDDLE"}}));
    EXPECT_EQ(device.Requests("/GetSysCfg.cgi").back().Param("Option"), "ONLINE");

    Faults("/GetSysCfg.cgi", {.status = 500});
    page.m_btnRefresh.click();
    ASSERT_TRUE(PumpUntil([&sheet] { return !sheet.IsWaitingForDevice(); }));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4029)});
    EXPECT_EQ(page.m_wRowCount, 2);
    EXPECT_EQ(page.m_listOnline.topLevelItemCount(), 2);
    // ONLINE is never sent back.
    Apply(sheet);
    EXPECT_TRUE(SentSections().empty());
}

}  // namespace
