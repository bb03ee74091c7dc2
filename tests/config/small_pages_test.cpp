#include <gtest/gtest.h>

#include <ctime>

#include "config/alarm_trigger_page.h"
#include "config/record_page.h"
#include "config/schedule_record_page.h"
#include "config/video_setting_page.h"
#include "config_fixture.h"
#include "recording/recorder_set.h"
#include "ui/string_table.h"

namespace {

using recording::ScheduleEntry;
using test_support::ConfigFixture;

// The user's typing: the text changes and the edit says so.
void Type(QLineEdit& edit, const QString& text) {
    edit.setText(text);
    emit edit.textEdited(text);
}

// --- File Path ---

class RecordPageTest : public ConfigFixture {
protected:
    explicit RecordPageTest(std::uint8_t deviceType = 19) : ConfigFixture(deviceType) {
        g_lpApp->CSettingINI.m_strTriggerWavPath = "/opt/torvel/alarm.wav";
        page.m_strRecordPath = "/data/records/";
        page.m_strSnapshotPath = "/data/snapshots/";
        page.m_strAlarmWavPath = "/old/alarm.wav";
    }
    RecordPage page;
};

class OtherDeviceRecordPageTest : public RecordPageTest {
protected:
    OtherDeviceRecordPageTest() : RecordPageTest(7) {}
};

TEST_F(RecordPageTest, ShowsThePresetFoldersAndTheSettingsAlarmSound) {
    page.CreatePage();
    EXPECT_EQ(page.m_ctlRecordPath.text(), "/data/records/");
    EXPECT_EQ(page.m_ctlSnapshotPath.text(), "/data/snapshots/");
    EXPECT_EQ(page.m_ctlAlarmWavPath.text(), "/opt/torvel/alarm.wav");
    EXPECT_TRUE(page.m_ctlAlarmWavPath.isReadOnly());
    EXPECT_FALSE(page.m_ctlAlarmWavPath.isHidden());
    EXPECT_FALSE(page.m_btnAlarmWav.isHidden());
}

TEST_F(OtherDeviceRecordPageTest, HidesTheAlarmSoundRowButKeepsItsPath) {
    page.CreatePage();
    EXPECT_TRUE(page.m_lblAlarmWav.isHidden());
    EXPECT_TRUE(page.m_btnAlarmWav.isHidden());
    EXPECT_TRUE(page.m_ctlAlarmWavPath.isHidden());
    Type(page.m_ctlRecordPath, "/elsewhere/");
    EXPECT_EQ(page.m_strAlarmWavPath, "/opt/torvel/alarm.wav");
}

TEST_F(RecordPageTest, TypingTakesEveryTextWithoutLosingTheOthers) {
    page.CreatePage();
    Type(page.m_ctlSnapshotPath, "/typed/snaps");
    EXPECT_EQ(page.m_strSnapshotPath, "/typed/snaps");
    EXPECT_EQ(page.m_strRecordPath, "/data/records/");
    Type(page.m_ctlRecordPath, "");
    EXPECT_EQ(page.m_strRecordPath, "");
    EXPECT_EQ(page.m_strSnapshotPath, "/typed/snaps");
}

TEST_F(RecordPageTest, TheChoosersReplaceTheirTextOnlyWhenTheUserConfirms) {
    page.CreatePage();
    std::vector<std::string> starts;
    std::optional<std::string> folder;
    page.m_getPath = [&](QWidget*, const std::string& start) {
        starts.push_back(start);
        return folder;
    };
    page.m_btnRecordPath.click();
    EXPECT_EQ(page.m_ctlRecordPath.text(), "/data/records/");
    folder = "/mnt/nas/clips/";
    page.m_btnRecordPath.click();
    page.m_btnSnapshotPath.click();
    EXPECT_EQ(starts,
              (std::vector<std::string>{"/data/records/", "/data/records/", "/data/snapshots/"}));
    EXPECT_EQ(page.m_ctlRecordPath.text(), "/mnt/nas/clips/");
    EXPECT_EQ(page.m_strSnapshotPath, "/mnt/nas/clips/");

    std::vector<FileOpenRequest> asked;
    std::optional<std::string> wave;
    page.m_chooseFile = [&](QWidget*, const FileOpenRequest& request) {
        asked.push_back(request);
        return wave;
    };
    page.m_btnAlarmWav.click();
    wave = "";
    page.m_btnAlarmWav.click();
    EXPECT_EQ(page.m_strAlarmWavPath, "/opt/torvel/alarm.wav");
    wave = "/sounds/siren.wav";
    page.m_btnAlarmWav.click();
    EXPECT_EQ(page.m_ctlAlarmWavPath.text(), "/sounds/siren.wav");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].filter, "WAV files (*.wav)|*.wav||");
    EXPECT_EQ(asked[0].defaultExtension, "");
    EXPECT_EQ(asked[0].fileName, "");
}

TEST(FileOpenFilterTest, PairsBecomeQtFilters) {
    EXPECT_EQ(FileOpenNameFilters("WAV files (*.wav)|*.wav||"), QStringList{"WAV files (*.wav)"});
    EXPECT_EQ(FileOpenNameFilters("Images|*.bmp;*.jpg|All|*||"),
              (QStringList{"Images (*.bmp *.jpg)", "All (*)"}));
    EXPECT_TRUE(FileOpenNameFilters("").isEmpty());
}

// --- R.E.T.R. ---

TEST(TimeLimitFieldTest, KeepsDigitsAndClamps) {
    const struct {
        const char* text;
        unsigned maximum;
        std::optional<unsigned> value;
    } cases[] = {
        {"30", 23, 23u},          {"75", 59, 59u}, {"7", 23, 7u},          {"1a5", 59, 15u},
        {"99999999999", 23, 23u}, {"x", 23, 0u},   {"", 23, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLimitFieldValue(c.text, c.maximum), c.value) << c.text;
    }
}

TEST_F(ConfigFixture, RemoteRecordPageShowsItsFlagAndAddressAndClampsTheTime) {
    CAlarmTriggerPage page;
    page.m_nRemoteRecord = 1;
    page.m_dwConnectionCheckIp = 0xC0A80101;
    page.CreatePage();
    EXPECT_TRUE(page.m_btnEnable.isChecked());
    EXPECT_FALSE(page.m_btnDisable.isChecked());
    std::uint32_t address = 0;
    EXPECT_EQ(page.m_ctlConnectionCheckIp.GetAddress(address), 4);
    EXPECT_EQ(address, 0xC0A80101u);
    EXPECT_EQ(page.m_ctlTimeLimitDay.count(), 9);

    page.m_btnDisable.click();
    EXPECT_EQ(page.m_nRemoteRecord, 0);
    EXPECT_TRUE(page.m_btnEnable.isEnabled() && !page.m_btnEnable.isChecked());

    Type(page.m_ctlHour, "30");
    Type(page.m_ctlMinute, "75");
    EXPECT_EQ(page.m_ctlHour.text(), "23");
    EXPECT_EQ(page.m_ctlMinute.text(), "59");
    EXPECT_EQ(page.m_nHour, 23);
    EXPECT_EQ(page.m_nMinute, 59);

    CAlarmTriggerPage off;
    off.CreatePage();
    EXPECT_TRUE(off.m_btnDisable.isChecked());
    EXPECT_TRUE(off.m_ctlConnectionCheckIp.IsBlank());
}

// --- Schedule Record ---

std::time_t At(int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 5;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class SchedulePageTest : public ConfigFixture {
protected:
    SchedulePageTest() {
        page.m_pSchRecord = &recorders.m_SchRecord;
        page.m_runTimeDialog = [this](CTimeSettingDlg& dialog) {
            dialog.OnInitDialog();
            shownStart = {dialog.m_ctlStartDate.date(), dialog.m_ctlStartHour.currentIndex(),
                          dialog.m_ctlStartMinute.currentIndex()};
            const auto set = [](QDateEdit& date, QComboBox& hour, QComboBox& minute,
                                std::time_t time) {
                std::tm t{};
                localtime_r(&time, &t);
                date.setDate(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday));
                hour.setCurrentIndex(t.tm_hour);
                minute.setCurrentIndex(t.tm_min);
            };
            set(dialog.m_ctlStartDate, dialog.m_ctlStartHour, dialog.m_ctlStartMinute, next.first);
            set(dialog.m_ctlEndDate, dialog.m_ctlEndHour, dialog.m_ctlEndMinute, next.second);
            dialog.accept();
            return true;
        };
        page.CreatePage();
    }

    void Add(std::time_t start, std::time_t end) {
        next = {start, end};
        page.m_btnAdd.click();
    }
    std::vector<std::pair<std::time_t, std::time_t>> Periods() const {
        std::vector<std::pair<std::time_t, std::time_t>> periods;
        for (const ScheduleEntry& e : recorders.m_SchRecord.ScheduleEntries()) {
            periods.emplace_back(e.tmStart, e.tmEnd);
        }
        return periods;
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int i = 0; i < page.m_ctlList.topLevelItemCount(); ++i) {
            texts.push_back(page.m_ctlList.topLevelItem(i)->text(column).toStdString());
        }
        return texts;
    }
    void Select(int row) { page.m_ctlList.setCurrentItem(page.m_ctlList.topLevelItem(row)); }

    recording::RecorderSet recorders;
    CScheduleRecordPage page;
    std::pair<std::time_t, std::time_t> next;
    std::tuple<QDate, int, int> shownStart;
};

TEST_F(SchedulePageTest, AddRefusesTouchingAndOverlappingPeriodsAndKeepsTheTableSorted) {
    Add(At(3, 10, 0), At(3, 11, 0));
    Add(At(3, 11, 0), At(3, 12, 0));
    Add(At(3, 10, 30), At(3, 10, 40));
    Add(At(3, 12, 0), At(3, 12, 0));
    Add(At(3, 11, 1), At(3, 12, 0));
    Add(At(3, 8, 0), At(3, 9, 0));
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Time setting is covered with other setting",
                                        "Time setting is covered with other setting",
                                        "Time setting is wrong"}));
    EXPECT_EQ(Periods(),
              (std::vector<std::pair<std::time_t, std::time_t>>{{At(3, 8, 0), At(3, 9, 0)},
                                                                {At(3, 10, 0), At(3, 11, 0)},
                                                                {At(3, 11, 1), At(3, 12, 0)}}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(1)[1], "2026.06.03 10:00:00");
    EXPECT_EQ(Column(2)[2], "2026.06.03 12:00:00");
    EXPECT_EQ(recorders.m_SchRecord.m_fScheduleChanged, 1u);
}

TEST_F(SchedulePageTest, AnEleventhPeriodIsRefusedAfterTheOverlapTest) {
    for (int day = 1; day <= 10; ++day) {
        Add(At(day, 1, 0), At(day, 2, 0));
    }
    ASSERT_EQ(Periods().size(), 10u);
    Add(At(1, 1, 30), At(1, 3, 0));
    Add(At(20, 1, 0), At(20, 2, 0));
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  "Time setting is covered with other setting",
                  "Schedule record setting is too many,you could not add any more."}));
    EXPECT_EQ(Periods().size(), 10u);
}

TEST_F(SchedulePageTest, EditComparesWithTheOthersAndResorts) {
    Add(At(3, 10, 0), At(3, 11, 0));
    Add(At(3, 14, 0), At(3, 15, 0));
    page.m_btnEdit.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4086)});

    Select(0);
    next = {At(3, 10, 30), At(3, 11, 30)};  // overlaps only itself
    page.m_btnEdit.click();
    EXPECT_EQ(shownStart, std::make_tuple(QDate(2026, 6, 3), 10, 0));
    Select(0);
    next = {At(3, 16, 0), At(3, 17, 0)};
    page.m_btnEdit.click();
    EXPECT_EQ(Periods(), (std::vector<std::pair<std::time_t, std::time_t>>{
                             {At(3, 14, 0), At(3, 15, 0)}, {At(3, 16, 0), At(3, 17, 0)}}));
    Select(0);
    next = {At(3, 16, 30), At(3, 18, 0)};
    page.m_btnEdit.click();
    EXPECT_EQ(messages.Texts().back(), "Time setting is covered with other setting");
    EXPECT_EQ(Periods().size(), 2u);
}

TEST_F(SchedulePageTest, DeleteRenumbersAndSelectsTheRowThatTookItsPlace) {
    for (int day = 1; day <= 3; ++day) {
        Add(At(day, 1, 0), At(day, 2, 0));
    }
    page.m_btnDelete.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4086)});
    Select(1);
    page.m_btnDelete.click();
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Periods()[1].first, At(3, 1, 0));
    EXPECT_EQ(page.m_ctlList.indexOfTopLevelItem(page.m_ctlList.currentItem()), 1);
    page.m_btnDelete.click();  // the last row: the first is selected next
    EXPECT_EQ(page.m_ctlList.indexOfTopLevelItem(page.m_ctlList.currentItem()), 0);
    EXPECT_EQ(Periods().size(), 1u);
}

// --- Video Setting ---

TEST(VideoSettingRowsTest, SizesQualitiesAndBitRates) {
    const std::tuple<int, int, int> sizes[] = {{704, 480, 0}, {704, 576, 0},  {352, 288, 1},
                                               {176, 112, 2}, {640, 480, -1}, {352, 480, -1}};
    for (const auto& [w, h, row] : sizes) {
        EXPECT_EQ(VideoResolutionRow(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h)),
                  row)
            << w << "x" << h;
    }
    const std::pair<int, int> qualities[] = {{0, -1}, {1, 0},  {49, 0},  {50, 1},
                                             {69, 1}, {70, 2}, {100, 2}, {101, -1}};
    for (const auto& [q, row] : qualities) {
        EXPECT_EQ(VideoQualityRow(static_cast<std::uint8_t>(q)), row) << q;
    }
    const std::pair<int, int> rates[] = {{0, 0},  {20, 0},  {21, 1},  {34, 2},
                                         {67, 3}, {101, 4}, {152, 5}, {153, 6}};
    for (const auto& [r, row] : rates) {
        EXPECT_EQ(VideoBitRateRow(static_cast<std::uint16_t>(r)), row) << r;
    }
}

TEST_F(ConfigFixture, VideoSettingPageFollowsTheBlockAndTheVideoType) {
    g_lpApp->m_bVideoMode = 1;
    g_lpApp->m_wImageWidth = 352;
    g_lpApp->m_wImageHeight = 288;
    g_lpApp->m_VideoSetting = {4, 40, 60};
    CSetVortaCmdPage page;
    page.CreatePage();
    EXPECT_EQ(page.m_ctlResolution.itemText(0), "704 x 576");
    EXPECT_EQ(page.m_ctlResolution.currentIndex(), 1);
    EXPECT_EQ(page.m_ctlVideoType.currentText(), "MPEG4");
    EXPECT_EQ(page.m_ctlBitRate.currentText(), "1M");
    EXPECT_EQ(page.m_ctlQuality.currentText(), "Middle");
    EXPECT_TRUE(page.m_ctlQuality.isHidden());
    EXPECT_FALSE(page.m_ctlBitRate.isHidden());

    page.m_ctlVideoType.setCurrentIndex(0);
    emit page.m_ctlVideoType.activated(0);
    EXPECT_EQ(page.m_nVideoTypeIndex, 0);
    EXPECT_FALSE(page.m_ctlQuality.isHidden());
    EXPECT_TRUE(page.m_lblBitRate.isHidden());

    g_lpApp->m_VideoSetting = {7, 0, 0};
    g_lpApp->m_bVideoMode = 0;
    CSetVortaCmdPage other;
    other.CreatePage();
    EXPECT_EQ(other.m_ctlResolution.itemText(0), "704 x 480");
    EXPECT_EQ(other.m_nVideoTypeIndex, -1);
    EXPECT_EQ(other.m_nQualityIndex, -1);
    EXPECT_FALSE(other.m_ctlQuality.isHidden());
    EXPECT_FALSE(other.m_ctlBitRate.isHidden());
}

}  // namespace
