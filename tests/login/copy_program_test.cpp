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

    // Runs a copy to its end and returns the messages it showed and the question it asked,
    // answered with `replace`.
    std::vector<std::string> Copy(const std::string& targetText, bool replace = true) {
        RecordingMessageSink messages;
        messages.SetAnswer(replace);
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
        // The older copy's files are replaced after one question.
        EXPECT_EQ(Copy(targetText).size(), 1u);
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
    ASSERT_EQ(messages.size(), 2u) << "the question, then the report";
    EXPECT_NE(messages[1].find(" 2 "), std::string::npos) << messages[1];
    EXPECT_EQ(percent, "100%");
    EXPECT_TRUE(fs::exists(target.Path() / "AlarmData.dat"));
}

TEST_F(CopyProgramTest, SettingsThatCannotBeWrittenAreReported) {
    fs::create_directories(target.Path() / "Setting.ini" / "in the way");
    const std::vector<std::string> messages = Copy(target.Path().string());
    EXPECT_GE(failures, 2) << "the copy of Setting.ini and its rewrite";
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(CopyProgramTest, TheProgramFolderItselfIsRefused) {
    const std::string before = ReadText(source.Path() / "Setting.ini");
    const std::vector<std::string> messages = Copy(source.Path().string() + "/./");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("own folder"), std::string::npos);
    EXPECT_EQ(ReadText(source.Path() / "Setting.ini"), before);
}

// Links another user planted in a target others can write to, to files and to a folder of
// theirs: the file links are refused by the gate's link rule and counted as failures, the folder
// link is replaced by a folder of the copy's own, and nothing is written through any of them.
TEST_F(CopyProgramTest, PlantedLinksAreNeverWrittenThrough) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser can give a link to another user";
    }
    TempFolder theirs;
    WriteText(theirs.Path() / "ctrl", "their ctrl");
    WriteText(theirs.Path() / "settings", "[Theirs]\nKey=value\n");
    WriteText(theirs.Path() / "skins" / "keep.bmp", "theirs");
    const fs::path missing = theirs.Path() / "not there yet";
    fs::create_symlink(theirs.Path() / "ctrl", target.Path() / "CtrlFile.ini");
    fs::create_symlink(theirs.Path() / "settings", target.Path() / "Setting.ini");
    fs::create_symlink(missing, target.Path() / "alarm.wav");
    fs::create_symlink(theirs.Path() / "skins", target.Path() / "BMP");
    for (const char* name : {"CtrlFile.ini", "Setting.ini", "alarm.wav", "BMP"}) {
        ASSERT_EQ(::lchown((target.Path() / name).c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(target.Path().c_str(), 01777), 0);

    const std::vector<std::string> messages = Copy(target.Path().string());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], platform::WithTrailingSeparator(target.Path().string()) +
                               " already holds 4 of the program's files. Replace them with this "
                               "copy?");
    EXPECT_EQ(failures, 4) << "the three files, and the settings pointed at the copy";
    EXPECT_EQ(ReadText(theirs.Path() / "ctrl"), "their ctrl");
    EXPECT_EQ(ReadText(theirs.Path() / "settings"), "[Theirs]\nKey=value\n");
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(theirs.Path()),
                            fs::recursive_directory_iterator()),
              4)
        << "their three files and their folder, nothing more";
    for (const char* name : {"CtrlFile.ini", "Setting.ini", "alarm.wav"}) {
        EXPECT_TRUE(fs::is_symlink(target.Path() / name)) << name;
    }
    EXPECT_FALSE(fs::is_symlink(target.Path() / "BMP"));
    const fs::path skin = platform::FromBackslashPath(ui::SkinFiles()[0].name);
    EXPECT_EQ(ReadText(target.Path() / skin), ui::SkinFiles()[0].name);
}

// A target with an older copy is changed only after a Yes to the one question.
TEST_F(CopyProgramTest, ReplacingAskedOnceAndNoLeavesTheTargetAlone) {
    EXPECT_TRUE(Copy(target.Path().string()).empty()) << "nothing there yet: nothing to ask";
    WriteText(target.Path() / "CtrlFile.ini", "older");
    fs::remove(target.Path() / "AlarmData.dat");
    WriteText(source.Path() / "Setting.ini", "[Quarnel]\nServer Name=10.2.2.2\n");

    const std::vector<std::string> asked = Copy(target.Path().string(), false);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("Replace them"), std::string::npos) << asked[0];
    EXPECT_EQ(percent, "  0%");
    EXPECT_EQ(ReadText(target.Path() / "CtrlFile.ini"), "older");
    EXPECT_FALSE(fs::exists(target.Path() / "AlarmData.dat"));
    EXPECT_EQ(
        platform::ReadProfileString(target.Path() / "Setting.ini", "Quarnel", "Server Name", ""),
        "10.1.1.1");

    EXPECT_EQ(Copy(target.Path().string(), true).size(), 1u);
    EXPECT_EQ(percent, "100%");
    EXPECT_EQ(ReadText(target.Path() / "CtrlFile.ini"), "CtrlFile.ini");
    EXPECT_TRUE(fs::exists(target.Path() / "AlarmData.dat"));
    EXPECT_EQ(
        platform::ReadProfileString(target.Path() / "Setting.ini", "Quarnel", "Server Name", ""),
        "10.2.2.2");
}

}  // namespace
