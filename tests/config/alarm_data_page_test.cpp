#include "config/alarm_data_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "config/my_system_dialog.h"
#include "config_fixture.h"
#include "kernel/alarm_db.h"
#include "test_support/pump.h"
#include "test_support/temp_folder.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;

class AlarmDataPageTest : public ConfigFixture {
protected:
    AlarmDataPageTest() { g_lpApp->CSettingINI.m_strProgramPath = program.Path().string() + "/"; }

    std::filesystem::path Database() const { return program.Path() / "AlarmData.dat"; }

    std::string DatabaseBytes() const {
        std::ifstream in(Database(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A recording made by the alarm recorder: its file in the records folder (unless `present`
    // is false) and its entry.
    AlarmDBItem Recording(int n, bool present = true) {
        AlarmDBItem item;
        item.wYear = 2026;
        item.wMonth = 12;
        item.wDay = static_cast<std::uint16_t>(n);
        item.wHour = 7;
        item.wMinute = 8;
        item.wSecond = static_cast<std::uint16_t>(n);
        item.strFilePath = (records.Path() / ("ALARM_" + std::to_string(n) + ".qrn")).string();
        item.dwFrames = 100u * static_cast<std::uint32_t>(n);
        item.strAddress = "192.168.1." + std::to_string(n);
        if (present) {
            std::ofstream(item.strFilePath) << "frames";
        }
        return item;
    }

    void WriteDatabase(const std::vector<AlarmDBItem>& items, std::uint16_t magic = kAlarmDBMagic) {
        std::string bytes = {static_cast<char>(magic & 0xFF), static_cast<char>(magic >> 8),
                             static_cast<char>(items.size()), 0};
        for (const AlarmDBItem& item : items) {
            const auto record = item.Encode();
            bytes.append(record.begin(), record.end());
        }
        std::ofstream(Database(), std::ios::binary) << bytes;
    }

    // Five recordings in the file and the page showing them.
    void ShowFive() {
        for (int n = 1; n <= 5; ++n) {
            five.push_back(Recording(n));
        }
        WriteDatabase(five);
        page.CreatePage();
    }

    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int row = 0; row < page.m_AlarmList.topLevelItemCount(); ++row) {
            texts.push_back(page.m_AlarmList.topLevelItem(row)->text(column).toStdString());
        }
        return texts;
    }

    void Select(int row) {
        page.m_AlarmList.setCurrentItem(page.m_AlarmList.topLevelItem(row));
        emit page.m_AlarmList.itemClicked(page.m_AlarmList.topLevelItem(row), 0);
    }

    int SelectedRow() const {
        const auto selected = page.m_AlarmList.selectedItems();
        return selected.isEmpty() ? -1 : page.m_AlarmList.indexOfTopLevelItem(selected.first());
    }

    test_support::TempFolder program;
    test_support::TempFolder records;
    std::vector<AlarmDBItem> five;
    AlarmDataPage page;
};

TEST_F(AlarmDataPageTest, AnEmptyOrMissingDatabaseShowsTheHeadingsAndNoRows) {
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing" : "empty");
        if (!missing) {
            WriteDatabase({});
        }
        AlarmDataPage fresh;
        fresh.CreatePage();
        EXPECT_EQ(fresh.m_AlarmList.topLevelItemCount(), 0);
        const QTreeWidgetItem* header = fresh.m_AlarmList.headerItem();
        ASSERT_EQ(header->columnCount(), 4);
        EXPECT_EQ(header->text(0), "NO.");
        EXPECT_EQ(header->text(1), "IP Address");
        EXPECT_EQ(header->text(2), "Time");
        EXPECT_EQ(header->text(3), "Frame");
        EXPECT_EQ(fresh.m_AlarmList.columnWidth(2), 130);
        EXPECT_EQ(fresh.m_txtSelectedFile.text(), "");
        // The recorder can append to it from now on.
        EXPECT_EQ(DatabaseBytes(), std::string("\x87\x99\0\0", 4));
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(AlarmDataPageTest, RowsShowEachRecordingAndAMissingFileIsNoted) {
    const std::vector<AlarmDBItem> items = {Recording(1), Recording(2, false), Recording(3)};
    WriteDatabase(items);
    page.CreatePage();
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"192.168.1.1", "192.168.1.2", "192.168.1.3"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"2026.12.01 07:08:01", "2026.12.02 07:08:02",
                                                   "2026.12.03 07:08:03"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"100", "200", "300"}));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(page.m_txtSelectedFile.text().toStdString(), items[0].strFilePath);

    Select(1);
    EXPECT_EQ(page.m_strSelectedFile, items[1].strFilePath + " (File not found)");
    EXPECT_EQ(page.m_txtSelectedFile.text().toStdString(), page.m_strSelectedFile);
    Select(2);
    EXPECT_EQ(page.m_strSelectedFile, items[2].strFilePath);
}

// A damaged list is kept aside; another program's file and an unreadable one are left alone, and
// the user is told why (of another program's, once a run).
TEST_F(AlarmDataPageTest, ADamagedFileIsKeptAsideAnotherOrAnUnreadableOneLeftAlone) {
    {
        test_support::RecordingMessageSink shown;
        const std::string foreign("\x88\x99\x01\x00", 4);
        std::ofstream(Database(), std::ios::binary) << foreign;
        for (int load = 0; load < 2; ++load) {
            EXPECT_TRUE(page.LoadAlarmDatabase());
        }
        EXPECT_EQ(page.m_AlarmList.topLevelItemCount(), 0);
        EXPECT_EQ(shown.Texts(), std::vector<std::string>{SystemConfig::ForeignNotice(
                                     g_lpApp->CSettingINI.m_strProgramPath)});
        EXPECT_EQ(std::filesystem::file_size(Database()), 4u);
    }
    {
        test_support::RecordingMessageSink shown;
        std::ofstream(Database(), std::ios::binary) << std::string("\x87\x99\x01\x00", 4);
        EXPECT_TRUE(page.LoadAlarmDatabase());
        EXPECT_EQ(page.m_AlarmList.topLevelItemCount(), 0);
        ASSERT_EQ(shown.Texts().size(), 1u);
        EXPECT_NE(shown.Texts()[0].find("AlarmData.dat.damaged"), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(program.Path() / "AlarmData.dat.damaged"));
    }
    std::filesystem::remove(Database());
    std::filesystem::create_directory(Database());
    test_support::RecordingMessageSink shown;
    EXPECT_FALSE(page.LoadAlarmDatabase());
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Read alarm database file is failed"});
    EXPECT_TRUE(std::filesystem::is_directory(Database()));
}

TEST_F(AlarmDataPageTest, DeleteMarksTheRowAndSelectsTheNextOne) {
    struct Case {
        int deleted;
        int selectedAfter;
        int recordShownAfter;  // index into the five recordings
    };
    // The last row's follower is the first row; any other row's is the one that moves up.
    const Case cases[] = {{4, 0, 0}, {0, 0, 1}, {3, 3, 4}, {1, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted);
        five.clear();
        ShowFive();
        page.OnButtonRefresh();
        Select(c.deleted);
        page.m_btnDelete.click();
        EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
        const std::vector<std::string> addresses = Column(1);
        EXPECT_EQ(std::count(addresses.begin(), addresses.end(), five[c.deleted].strAddress), 0);
        EXPECT_EQ(SelectedRow(), c.selectedAfter);
        EXPECT_EQ(page.m_strSelectedFile, five[c.recordShownAfter].strFilePath);
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(AlarmDataPageTest, DeleteAsksForRecordsAndForASelectedRow) {
    page.CreatePage();
    page.m_btnDelete.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4045)});

    WriteDatabase({Recording(1), Recording(2)});
    page.OnButtonRefresh();
    page.m_btnClearAll.click();
    EXPECT_EQ(page.m_AlarmList.topLevelItemCount(), 0);
    EXPECT_EQ(page.m_txtSelectedFile.text(), "");
    page.m_btnDelete.click();
    EXPECT_EQ(messages.Texts().back(), ui::LoadString(4086));
}

class AlarmDataPageApplyTest : public AlarmDataPageTest {
protected:
    // The sheet with the database page shown, as the user reaches it.
    std::unique_ptr<MySystemDialog> OpenSheet() {
        FetchSections();
        auto sheet = std::make_unique<MySystemDialog>("System setting", nullptr, 0);
        sheet->OnInitDialog();
        sheet->SetActivePage(&sheet->m_AlarmDataPage);
        return sheet;
    }
};

TEST_F(AlarmDataPageApplyTest, ApplyRemovesTheMarkedRecordingsAndKeepsNewOnes) {
    for (int n = 1; n <= 4; ++n) {
        five.push_back(Recording(n));
    }
    WriteDatabase(five);
    auto sheet = OpenSheet();
    AlarmDataPage& shown = sheet->m_AlarmDataPage;
    shown.m_AlarmList.setCurrentItem(shown.m_AlarmList.topLevelItem(1));
    shown.m_btnDelete.click();
    shown.m_AlarmList.setCurrentItem(shown.m_AlarmList.topLevelItem(2));
    shown.m_btnDelete.click();  // the fourth recording, now in row 3
    // The recorder finishes a recording while the sheet is open.
    AlarmDatabase().NewAlarmDataItem(Recording(9).strFilePath);
    ASSERT_EQ(AlarmDatabase().AppendAlarmData(program.Path().string(), 900, "10.0.0.9"), 1u);
    const std::string beforeApply = DatabaseBytes();

    Apply(*sheet);
    ASSERT_EQ(sheet->result(), MySystemDialog::kResultApplied);
    const std::string after = DatabaseBytes();
    ASSERT_EQ(after.size(), 4 + 3 * kAlarmDBItemSize);
    EXPECT_EQ(after.substr(0, 4), std::string("\x87\x99\x03\x00", 4));
    const auto path = [&](int i) {
        return AlarmDBItem::Decode(reinterpret_cast<const std::uint8_t*>(after.data()) + 4 +
                                   i * kAlarmDBItemSize)
            .strFilePath;
    };
    EXPECT_EQ(path(0), five[0].strFilePath);
    EXPECT_EQ(path(1), five[2].strFilePath);
    EXPECT_EQ(path(2), Recording(9).strFilePath);
    EXPECT_NE(beforeApply, after);
}

TEST_F(AlarmDataPageApplyTest, ARefreshDropsTheMarksAndApplyLeavesTheFileAsItWas) {
    WriteDatabase({Recording(1), Recording(2), Recording(3)});
    const std::string before = DatabaseBytes();
    auto sheet = OpenSheet();
    sheet->m_AlarmDataPage.m_btnClearAll.click();
    sheet->m_AlarmDataPage.m_btnRefresh.click();
    EXPECT_EQ(sheet->m_AlarmDataPage.m_AlarmList.topLevelItemCount(), 3);
    Apply(*sheet);
    EXPECT_EQ(DatabaseBytes(), before);
}

TEST_F(AlarmDataPageApplyTest, MarksOfASheetClosedWithoutApplyAreForgotten) {
    WriteDatabase({Recording(1), Recording(2), Recording(3)});
    const std::string before = DatabaseBytes();
    {
        auto sheet = OpenSheet();
        sheet->m_AlarmDataPage.m_btnClearAll.click();
        sheet->m_btnExit.click();
    }
    // The next sheet is applied without the database page ever being shown.
    FetchSections();
    MySystemDialog next("System setting", nullptr, 0);
    next.OnInitDialog();
    Apply(next);
    EXPECT_EQ(DatabaseBytes(), before);
}

TEST_F(AlarmDataPageTest, PlayStartsThePlayerWithTheSelectedRecording) {
    const std::vector<AlarmDBItem> items = {Recording(1), Recording(2, false)};
    WriteDatabase(items);
    page.CreatePage();
    page.m_btnPlay.click();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4108)});

    const auto player = program.Path() / "VideoPlayer";
    const auto arguments = program.Path() / "VideoPlayer.args";
    std::ofstream(player) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done >> \"$0.args\"\n";
    std::filesystem::permissions(player, std::filesystem::perms::owner_all);
    const auto playedFiles = [&] {
        std::ifstream in(arguments);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    page.m_btnPlay.click();
    ASSERT_TRUE(test_support::PumpUntil([&] { return !playedFiles().empty(); }));
    EXPECT_EQ(playedFiles(), items[0].strFilePath + "\n");

    // A missing recording plays nothing, by button or by double click.
    Select(1);
    page.m_btnPlay.click();
    emit page.m_AlarmList.itemDoubleClicked(page.m_AlarmList.topLevelItem(1), 0);
    Select(0);
    emit page.m_AlarmList.itemDoubleClicked(page.m_AlarmList.topLevelItem(0), 0);
    ASSERT_TRUE(test_support::PumpUntil(
        [&] { return playedFiles() == items[0].strFilePath + "\n" + items[0].strFilePath + "\n"; },
        5'000));
    EXPECT_EQ(messages.Texts().size(), 1u);
}

}  // namespace
