#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "login/copy_program_dlg.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"
#include "widgets/skin_files.h"

namespace {

namespace fs = std::filesystem;
using test_support::RecordingMessageSink;
using test_support::TempFolder;

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class CopyProgramTest : public ::testing::Test {
protected:
    CopyProgramTest() {
        // A program folder with its files and every other skin bitmap; the rest are missing.
        const std::vector<std::string>& files = CopyProgramFiles();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i] == "Setting.ini") {
                WriteText(source.Path() / "Setting.ini",
                          "[Quarnel]\nServer Name=10.1.1.1\nRecord Path=/old/\n");
            } else if (i % 2 == 0 || i < 6) {
                WriteText(source.Path() / platform::FromBackslashPath(files[i]), files[i]);
            }
        }
    }

    // Runs a copy to its end and returns the messages it showed.
    std::vector<std::string> Copy(const std::string& targetText) {
        RecordingMessageSink messages;
        CCopyProgramDlg dialog(nullptr, source.Path().string(), targetText);
        dialog.OnInitDialog();
        EXPECT_FALSE(dialog.m_btnOK->isEnabled());
        EXPECT_EQ(dialog.m_strPercent->text(), "  0%");
        dialog.CopyProgramThread();
        EXPECT_TRUE(dialog.m_btnOK->isEnabled());
        failures = dialog.m_nFailures;
        percent = dialog.m_strPercent->text().toStdString();
        return messages.Texts();
    }

    TempFolder source;
    TempFolder target;
    int failures = 0;
    std::string percent;
};

TEST_F(CopyProgramTest, CopiesWhatExistsAndPointsTheSettingsAtTheCopy) {
    const fs::path old = target.Path() / platform::FromBackslashPath(ui::SkinFiles()[0].name);
    WriteText(old, "older copy");
    for (const std::string& targetText : {target.Path().string(), target.Path().string() + "/"}) {
        EXPECT_TRUE(Copy(targetText).empty());
        EXPECT_EQ(percent, "100%");
        const std::vector<std::string>& files = CopyProgramFiles();
        for (std::size_t i = 0; i < files.size(); ++i) {
            const fs::path from = source.Path() / platform::FromBackslashPath(files[i]);
            const fs::path to = target.Path() / platform::FromBackslashPath(files[i]);
            EXPECT_EQ(fs::exists(to), fs::exists(from)) << files[i];
            if (fs::exists(from) && files[i] != "Setting.ini") {
                EXPECT_EQ(ReadText(to), ReadText(from)) << files[i];
            }
        }
        EXPECT_TRUE(fs::is_directory(target.Path() / "BMP" / "LOGIN"));
        const fs::path settings = target.Path() / "Setting.ini";
        const std::string folder = platform::WithTrailingSeparator(target.Path().string());
        EXPECT_EQ(platform::ReadProfileString(settings, "Quarnel", "Record Path", ""), folder);
        EXPECT_EQ(platform::ReadProfileString(settings, "Quarnel", "Snapshot Path", ""), folder);
        EXPECT_EQ(platform::ReadProfileString(settings, "Quarnel", "Trigger Wav Path", ""),
                  folder + "alarm.wav");
        EXPECT_EQ(platform::ReadProfileString(settings, "Quarnel", "Server Name", ""), "10.1.1.1");
    }
}

TEST_F(CopyProgramTest, TheListHoldsEverySkinBitmap) {
    const std::vector<std::string>& files = CopyProgramFiles();
    for (const ui::SkinFile& skin : ui::SkinFiles()) {
        EXPECT_NE(std::find(files.begin(), files.end(), skin.name), files.end()) << skin.name;
    }
    EXPECT_EQ(files.back(), ui::SkinFiles().back().name);
}

TEST_F(CopyProgramTest, FailedFilesAreCountedAndReported) {
    // Folders where two listed files should go: those copies fail, the rest go on.
    fs::create_directories(target.Path() / "CtrlFile.ini" / "x");
    fs::create_directories(target.Path() / platform::FromBackslashPath(ui::SkinFiles()[0].name) /
                           "x");
    const std::vector<std::string> messages = Copy(target.Path().string());
    EXPECT_EQ(failures, 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(" 2 "), std::string::npos) << messages[0];
    EXPECT_EQ(percent, "100%");
    EXPECT_TRUE(fs::exists(target.Path() / "AlarmData.dat"));
}

TEST_F(CopyProgramTest, SettingsThatCannotBeWrittenAreReported) {
    fs::create_directories(target.Path() / "Setting.ini" / "in the way");
    const std::vector<std::string> messages = Copy(target.Path().string());
    EXPECT_GE(failures, 2) << "the copy of Setting.ini and its rewrite";
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(CopyProgramTest, TheProgramFolderItselfIsRefused) {
    const std::string before = ReadText(source.Path() / "Setting.ini");
    const std::vector<std::string> messages = Copy(source.Path().string() + "/./");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("own folder"), std::string::npos);
    EXPECT_EQ(ReadText(source.Path() / "Setting.ini"), before);
}

}  // namespace
