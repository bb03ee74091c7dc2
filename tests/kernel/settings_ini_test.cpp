#include "kernel/settings_ini.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include "kernel/trace_log.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "test_support/env_override.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    SettingsFile() { platform::SetProgramFolder(program.Path()); }

    std::string ReadSettings() const {
        std::ifstream in(program.Path() / "Setting.ini", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    test_support::TempFolder home;
    test_support::TempFolder program;
    test_support::EnvOverride homeVar{"HOME", home.Path().string()};
    test_support::EnvOverride configVar{"XDG_CONFIG_HOME", std::nullopt};
};

TEST_F(SettingsFile, DefaultsWithoutAFile) {
    CSettingINI s;
    s.Load();
    const std::string desktop = (home.Path() / "Desktop").string();
    const std::string programPath = program.Path().string() + "/";
    EXPECT_EQ(s.m_strProgramPath, programPath);
    EXPECT_EQ(s.m_strRecordPath, desktop);
    EXPECT_EQ(s.m_strSnapshotPath, desktop);
    EXPECT_EQ(s.m_strUpgradeFWPath, desktop + "/");
    EXPECT_EQ(s.m_strTriggerWavPath, programPath + "alarm.wav");
    EXPECT_EQ(s.m_strServerName, "192.168.1.10");
    EXPECT_EQ(s.m_wWebPort, 80);
    EXPECT_EQ(s.m_strUserName, "admin");
    EXPECT_EQ(s.m_strPassword, "pirow");
    EXPECT_EQ(s.m_nResolution, 1u);
    EXPECT_EQ(s.m_nContrast, 96u);
    EXPECT_EQ(s.m_wFrameRate, 30);
    EXPECT_EQ(s.m_wTargetBitRate, 400);
    EXPECT_EQ(s.m_wPeakBitRate, 450);
    EXPECT_EQ(s.m_bResolutionType, 3);
    EXPECT_EQ(s.m_bSelectedChannel, 1);
    EXPECT_EQ(s.m_wLastMAC1, 255);
    EXPECT_EQ(s.m_bAlarmTriggerRecord, 1);
    EXPECT_EQ(s.m_wAlarmEnableButton, 3);
    EXPECT_EQ(s.m_bRetrAlarmRecord, 1);
    EXPECT_EQ(s.Key(SettingKey::Quarnel), "Quarnel");
    EXPECT_EQ(s.Key(SettingKey::Unused15), "");
    EXPECT_TRUE(std::filesystem::is_directory(desktop));
}

TEST_F(SettingsFile, RoundTripKeepsEveryValueButThePassword) {
    CSettingINI first;
    first.Load();
    first.m_strServerName = "10.1.2.3";
    first.m_wWebPort = 8080;
    first.m_strUserName = "guest";
    first.m_strPassword = "secret";
    first.m_bSelectedChannel = 7;
    first.m_nQuality = 2;
    first.m_dwTriggerWavPathLow = 0xFFFFFFF0;
    first.m_strRecordPath = (program.Path() / "records").string();
    first.m_strNetworkFilePath = "/mnt/backup";
    ASSERT_EQ(first.Save(), 1u);

    CSettingINI second;
    second.Load();
    EXPECT_EQ(second.m_strServerName, "10.1.2.3");
    EXPECT_EQ(second.m_wWebPort, 8080);
    EXPECT_EQ(second.m_strUserName, "guest");
    EXPECT_EQ(second.m_bSelectedChannel, 7);
    EXPECT_EQ(second.m_nQuality, 2u);
    EXPECT_EQ(second.m_dwTriggerWavPathLow, 0xFFFFFFF0u);
    EXPECT_EQ(second.m_strRecordPath, first.m_strRecordPath);
    EXPECT_EQ(second.m_strNetworkFilePath, "/mnt/backup");
    EXPECT_EQ(second.m_strPassword, "pirow");
    EXPECT_EQ(ReadSettings().find("secret"), std::string::npos);
    EXPECT_NE(ReadSettings().find("Trigger Wav Path LOWORD=4294967280\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(first.m_strRecordPath.Get()));
}

TEST_F(SettingsFile, WideValuesKeepTheirLowBitsAndRetrAlarmRecordIsNotRead) {
    const auto file = program.Path() / "Setting.ini";
    platform::WriteProfileString(file, "Quarnel", "ServerPort", "65616");
    platform::WriteProfileString(file, "Quarnel", "RETR Alarm Record", "0");
    platform::WriteProfileString(file, "Quarnel", "Selected Channel", "258");
    CSettingINI s;
    s.Load();
    EXPECT_EQ(s.m_wWebPort, 80);
    EXPECT_EQ(s.m_bSelectedChannel, 2);
    EXPECT_EQ(s.m_bRetrAlarmRecord, 1);
    s.Save();
    EXPECT_EQ(platform::ReadProfileString(file, "Quarnel", "RETR Alarm Record", ""), "1");
}

// A load takes every key from one read of the file, however many keys the file holds.
TEST_F(SettingsFile, ALoadOpensTheFileOnce) {
    const auto file = program.Path() / "Setting.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Quarnel]\r\n";
        for (int i = 0; i < 10'000; ++i) {
            out << "Unknown Key " << i << "=" << i << "\r\n";
        }
        out << "ServerPort=8080\r\nRecord Path=" << (program.Path() / "rec").string() << "\r\n";
    }
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    // The closes keep the opens apart: events alike in a row are reported as one.
    ASSERT_GE(::inotify_add_watch(watch, file.c_str(), IN_OPEN | IN_CLOSE), 0);
    CSettingINI s;
    s.Load();
    EXPECT_EQ(s.m_wWebPort, 8080);
    EXPECT_EQ(s.m_strRecordPath, (program.Path() / "rec").string());
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
        for (char* at = events; at < events + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            opens += (event->mask & IN_OPEN) != 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    EXPECT_EQ(opens, 1);
}

TEST_F(SettingsFile, UnreadableDesktopIsReportedAndLoadGoesOn) {
    test_support::RecordingMessageSink messages;
    test_support::EnvOverride noHome("HOME", std::nullopt);
    CSettingINI s;
    EXPECT_EQ(s.Load(), 1u);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Read DeskTop Path Error!!"});
    EXPECT_EQ(s.m_strDesktopPath, "");
    EXPECT_EQ(s.m_strRecordPath, "");
    EXPECT_EQ(s.m_strUpgradeFWPath, "");
}

// The window thread replaces a path while a session thread reads it: every read is one whole
// value, never a mix of the two (with a plain string this is a use of freed memory).
TEST(SharedSettings, AReaderSeesOnlyWholeValuesWhileTheWindowReplacesThem) {
    CSettingINI settings;
    const std::string a(300, 'a');
    const std::string b(900, 'b');
    settings.m_strRecordPath = a;
    std::atomic<bool> done{false};
    std::thread window([&] {
        for (int i = 0; i < 20'000; ++i) {
            settings.m_strRecordPath = i % 2 ? a : b;
        }
        done = true;
    });
    int torn = 0;
    while (!done) {
        const std::string seen = settings.m_strRecordPath;
        torn += seen != a && seen != b;
    }
    window.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(SettingsFile, QuotedAndRelativeFoldersNameRealFolders) {
    std::ofstream(program.Path() / "Setting.ini", std::ios::binary)
        << "[Quarnel]\r\nServer Name=\"10.0.0.5\"\r\nRecord Path=\"" << home.Path().string()
        << "/Rec\"\r\nSnapshot Path=Shots\r\n";
    CSettingINI s;
    s.Load();
    EXPECT_EQ(s.m_strServerName, "10.0.0.5");
    EXPECT_EQ(s.m_strRecordPath, home.Path().string() + "/Rec");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() / "Rec"));
    EXPECT_EQ(s.m_strSnapshotPath, s.m_strProgramPath + "Shots");
    EXPECT_TRUE(std::filesystem::is_directory(program.Path() / "Shots"));
}

// A save that cannot replace the file says why, and changes nothing: a folder at its name, or a
// file the user made read-only.
TEST_F(SettingsFile, AFailedSaveIsTracedAndShown) {
    const std::filesystem::path file = program.Path() / "Setting.ini";
    const struct {
        const char* name;
        std::function<void()> make;
        const char* why;
    } cases[] = {
        {"a folder", [&] { std::filesystem::create_directory(file); },
         "is not a regular file (a pipe, a device or a folder), so it was not opened"},
        {"a read-only file",
         [&] {
             std::ofstream(file) << "[Quarnel]\r\nServerPort=81\r\n";
             std::filesystem::permissions(file, std::filesystem::perms::owner_read);
         },
         "is read-only, so it was not replaced"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(file);
        std::filesystem::remove(program.Path() / "trace.log");
        test_support::RecordingMessageSink messages;
        CSettingINI s;
        s.Load();
        TraceLogInit(30, s.m_strProgramPath);
        c.make();
        const auto before = std::filesystem::status(file).type();
        EXPECT_EQ(s.Save(), 0u);
        TraceLogClose();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"The settings could not be saved: " +
                                                             file.string() + " " + c.why + "."});
        EXPECT_EQ(std::filesystem::status(file).type(), before);
        std::ifstream trace(program.Path() / "trace.log", std::ios::binary);
        const std::string traced(std::istreambuf_iterator<char>(trace), {});
        EXPECT_NE(traced.find("Setting.ini save failed\r\n"), std::string::npos) << traced;
    }
}

}  // namespace
