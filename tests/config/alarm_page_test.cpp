#include "config/alarm_page.h"

#include <gtest/gtest.h>

#include "config/my_system_dialog.h"
#include "config_fixture.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;

class AlarmPageTest : public ConfigFixture {
protected:
    // ALARM with post numbers, method, resolution and duration; the per-channel bytes carry a
    // pattern that no step of this page may touch.
    void PutAlarm(std::uint8_t posts, std::uint8_t method, std::uint8_t resolution,
                  std::uint16_t seconds) {
        std::string alarm(24, '\0');
        alarm[0] = 'x';
        alarm[2] = static_cast<char>(posts);
        alarm[3] = static_cast<char>(method);
        alarm[4] = 'y';
        alarm[5] = static_cast<char>(resolution);
        alarm[6] = static_cast<char>(seconds & 0xff);
        alarm[7] = static_cast<char>(seconds >> 8);
        for (int i = 0; i < 16; ++i) {
            alarm[8 + i] = static_cast<char>(i + 1);
        }
        ASSERT_TRUE(device.SetSection("ALARM", alarm));
    }

    AlarmPropertyPage& Open(MySystemDialog& sheet) { return OpenSheetAt(sheet, sheet.m_AlarmPage); }

    static std::string Boxes(AlarmPropertyPage& page) {
        std::string s;
        s += page.m_radioEnable.isChecked() ? 'E' : '-';
        s += page.m_radioDisable.isChecked() ? 'D' : '-';
        s += page.m_checkEmail.isChecked() ? 'm' : '-';
        s += page.m_checkFtp.isChecked() ? 'f' : '-';
        return s;
    }
};

TEST_F(AlarmPageTest, OpensFromTheSection) {
    const struct {
        std::uint8_t posts, method;
        std::uint16_t seconds;
        int postRow, durationRow;
        const char* boxes;
    } cases[] = {
        {4, 3, 1800, 3, 4, "E-mf"}, {1, 1, 15, 0, 1, "E-m-"}, {10, 2, 65535, 9, 5, "E--f"},
        {0, 0, 3, 0, 0, "-D--"},    {5, 9, 7, 4, -1, "E---"},
    };
    for (const auto& c : cases) {
        PutAlarm(c.posts, c.method, 1, c.seconds);
        MySystemDialog sheet("System setting", nullptr, 0);
        AlarmPropertyPage& page = Open(sheet);
        EXPECT_EQ(Boxes(page), c.boxes) << int(c.method);
        EXPECT_EQ(page.m_checkEmail.isEnabled(), c.method != 0) << int(c.method);
        EXPECT_EQ(page.m_comboPostNumbers.currentIndex(), c.postRow) << int(c.posts);
        EXPECT_EQ(page.m_comboDuration.currentIndex(), c.durationRow) << c.seconds;
    }
}

TEST_F(AlarmPageTest, TriggerAndMethodClicksKeepAMethodChecked) {
    PutAlarm(1, 3, 1, 3);
    MySystemDialog sheet("System setting", nullptr, 0);
    AlarmPropertyPage& page = Open(sheet);
    ASSERT_EQ(Boxes(page), "E-mf");

    const struct {
        QAbstractButton* button;
        std::uint8_t method;
        const char* boxes;
    } clicks[] = {
        {&page.m_checkFtp, 1, "E-m-"},    {&page.m_checkEmail, 1, "E-m-"},
        {&page.m_checkFtp, 3, "E-mf"},    {&page.m_checkEmail, 2, "E--f"},
        {&page.m_checkFtp, 2, "E--f"},    {&page.m_radioDisable, 0, "-D--"},
        {&page.m_radioEnable, 1, "E-m-"}, {&page.m_checkFtp, 3, "E-mf"},
        {&page.m_radioEnable, 1, "E-m-"},
    };
    for (const auto& c : clicks) {
        c.button->click();
        EXPECT_EQ(page.m_bAlarmMethod, c.method) << c.button->text().toStdString();
        EXPECT_EQ(Boxes(page), c.boxes) << c.button->text().toStdString();
    }
    page.m_radioDisable.click();
    EXPECT_FALSE(page.m_checkEmail.isEnabled());
    EXPECT_FALSE(page.m_checkFtp.isEnabled());
    page.m_radioEnable.click();
    EXPECT_TRUE(page.m_checkFtp.isEnabled());
}

TEST_F(AlarmPageTest, ApplyWritesOnlyWhatChanged) {
    PutAlarm(2, 1, 3, 30);
    const std::string before = *device.Section("ALARM");
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        Open(sheet);
        Apply(sheet);
        EXPECT_TRUE(SentSections().empty());
    }
    MySystemDialog sheet("System setting", nullptr, 0);
    AlarmPropertyPage& page = Open(sheet);
    page.m_comboDuration.setCurrentIndex(5);
    page.m_comboPostNumbers.setCurrentIndex(6);
    page.m_checkFtp.click();
    Apply(sheet);
    ASSERT_EQ(SentSections(), std::vector<std::string>{"ALARM"});
    std::string expected = before;
    expected[2] = 7;
    expected[3] = 3;
    expected[6] = '\xff';
    expected[7] = '\xff';
    EXPECT_EQ(device.Requests("/SetSysCfg.cgi")[0].body, expected);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(AlarmPageTest, ValuesOutsideTheListsStayUntilTheUserPicksARow) {
    // A duration or a picture count the lists lack shows no row; an apply without edits keeps
    // both as the device has them.
    PutAlarm(20, 1, 2, 20);
    const std::string before = *device.Section("ALARM");
    {
        MySystemDialog sheet("System setting", nullptr, 0);
        AlarmPropertyPage& page = Open(sheet);
        EXPECT_EQ(page.m_comboPostNumbers.currentIndex(), -1);
        EXPECT_EQ(page.m_comboDuration.currentIndex(), -1);
        EXPECT_EQ(page.m_comboDuration.placeholderText(), "20 SEC");
        Apply(sheet);
        EXPECT_TRUE(SentSections().empty());
    }
    MySystemDialog sheet("System setting", nullptr, 0);
    Open(sheet).m_comboDuration.setCurrentIndex(0);
    Apply(sheet);
    ASSERT_EQ(SentSections(), std::vector<std::string>{"ALARM"});
    std::string expected = before;
    expected[6] = 3;
    expected[7] = 0;
    EXPECT_EQ(device.Requests("/SetSysCfg.cgi")[0].body, expected);
}

TEST_F(AlarmPageTest, AFailedSendIsReportedAndTheSheetGoesOn) {
    PutAlarm(1, 1, 1, 3);
    MySystemDialog sheet("System setting", nullptr, 0);
    AlarmPropertyPage& page = Open(sheet);
    page.m_radioDisable.click();
    Faults("/SetSysCfg.cgi", {.status = 500});
    Apply(sheet);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4012)});
    EXPECT_EQ(sheet.result(), MySystemDialog::kResultApplied);
    EXPECT_EQ(g_lpApp->m_SysCfg.ALARM[3], 0);
}

TEST_F(AlarmPageTest, RefreshClearsTheStreamsLatchedAlarmAndSendsNothing) {
    MySystemDialog sheet("System setting", nullptr, 0);
    AlarmPropertyPage& page = Open(sheet);
    page.m_btnAlarmRefresh.click();  // no stream to clear
    int cleared = 0;
    page.m_clearAlarmFlag = [&cleared] {
        ++cleared;
        return std::uint32_t{1};
    };
    page.m_btnAlarmRefresh.click();
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(device.Requests().empty());
}

}  // namespace
