#include "platform/file_gate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/profile.h"
#include "test_support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// A user other than the one running the tests (who is root here: only root can give a file to
// another user).
constexpr uid_t kOtherUser = 65534;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

bool Root() {
    return ::geteuid() == 0;
}

class FileGate : public ::testing::Test {
protected:
    test_support::TempFolder program;
    test_support::TempFolder elsewhere;
    fs::path settings = program.Path() / "Setting.ini";
};

// A save replaces the file the name stands for and nothing else: the permissions the user gave
// it stay, and a link stays a link whose target gets the new content, in the target's folder.
TEST_F(FileGate, ASaveKeepsTheModeAndWritesThroughALink) {
    const fs::path target = elsewhere.Path() / "settings.ini";
    const struct {
        const char* name;
        fs::path link;  // empty: Setting.ini is the file itself
        bool targetExists;
    } cases[] = {
        {"the file itself", "", true},
        {"an absolute link", target, true},
        {"a relative link", fs::path("..") / elsewhere.Path().filename() / "settings.ini", true},
        {"a dangling link", target, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(settings);
        fs::remove(target);
        const fs::path file = c.link.empty() ? settings : target;
        if (!c.link.empty()) {
            fs::create_symlink(c.link, settings);
        }
        if (c.targetExists) {
            std::ofstream(file) << "[Quarnel]\nServerPort=80\n";
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        }
        ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "Server Name", "10.0.0.5"));
        EXPECT_EQ(fs::is_symlink(settings), !c.link.empty());
        EXPECT_EQ(ReadProfileString(file, "Quarnel", "Server Name", ""), "10.0.0.5");
        if (c.targetExists) {
            EXPECT_EQ(ReadProfileInt(file, "Quarnel", "ServerPort", 0), 80);
            EXPECT_EQ(fs::status(file).permissions(),
                      fs::perms::owner_read | fs::perms::owner_write);
        }
        EXPECT_EQ(Names(program.Path()), std::set<std::string>{"Setting.ini"});
        EXPECT_EQ(Names(elsewhere.Path()),
                  c.link.empty() ? std::set<std::string>{} : std::set<std::string>{"settings.ini"});
    }
}

// Links are followed by one rule, for reads and writes alike: where others can write to the
// folder, only a link of the user or of the folder's owner; where only the folder's owner can, any.
TEST_F(FileGate, ALinkIsFollowedUnlessAnotherUserPlantedItInAFolderOthersCanWrite) {
    if (!Root()) {
        GTEST_SKIP() << "only the superuser can give a link to another user";
    }
    const fs::path precious = elsewhere.Path() / "precious";
    const struct {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"the user's own link in the user's folder", 0755, 0, 0, true},
        {"another's link in a folder only the user writes", 0755, 0, kOtherUser, true},
        {"the user's own link in a group-writable folder", 0775, 0, 0, true},
        {"another's link in a group-writable folder", 0775, 0, kOtherUser, false},
        {"another's link in a world-writable folder", 0777, 0, kOtherUser, false},
        {"another's link in a sticky shared folder", 01777, 0, kOtherUser, false},
        {"the folder owner's link in his sticky shared folder", 01777, kOtherUser, kOtherUser,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(settings);
        std::ofstream(precious) << "[Quarnel]\nServerPort=81\n";
        ASSERT_EQ(::chmod(program.Path().c_str(), c.folderMode), 0);
        ASSERT_EQ(::chown(program.Path().c_str(), c.folderOwner, 0), 0);
        fs::create_symlink(precious, settings);
        ASSERT_EQ(::lchown(settings.c_str(), c.linkOwner, 0), 0);

        EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 80), c.followed ? 81 : 80);
        const FileStatus written = WriteProfileString(settings, "Quarnel", "ServerPort", "82");
        EXPECT_EQ(written.error, c.followed ? FileError::None : FileError::UntrustedLink);
        EXPECT_EQ(ReadProfileInt(precious, "Quarnel", "ServerPort", 0), c.followed ? 82 : 81);
        EXPECT_TRUE(fs::is_symlink(settings));
    }
    ::chown(program.Path().c_str(), 0, 0);
}

TEST_F(FileGate, ALinkLoopIsNeitherFollowedNorReplaced) {
    fs::create_symlink("other.ini", settings);
    fs::create_symlink("Setting.ini", program.Path() / "other.ini");
    EXPECT_EQ(WriteProfileString(settings, "Quarnel", "ServerPort", "80").error,
              FileError::LinkLoop);
    EXPECT_TRUE(fs::is_symlink(settings));
    EXPECT_EQ(Names(program.Path()), (std::set<std::string>{"Setting.ini", "other.ini"}));
}

// Whatever stands at a name that is not a regular file is refused at once, for reads and writes,
// and left as it is: a FIFO is never waited on, a device never read without end.
TEST_F(FileGate, OnlyRegularFilesAreOpenedAndNothingElseIsWaitedOnOrReplaced) {
    const struct {
        const char* name;
        std::function<void()> plant;
        fs::file_type type;
    } cases[] = {
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0644), 0); }, fs::file_type::fifo},
        {"a link to an endless device", [&] { fs::create_symlink("/dev/zero", settings); },
         fs::file_type::character},
        {"a folder", [&] { fs::create_directory(settings); }, fs::file_type::directory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(settings);
        c.plant();
        const FileSnapshot read = ReadFile(settings, kProfileFileMax);
        EXPECT_EQ(read.state, FileSnapshot::State::Unreadable);
        EXPECT_EQ(read.status.error, FileError::NotRegular);
        EXPECT_EQ(OpenFileForReading(settings).fd, -1);
        EXPECT_EQ(ReadProfileString(settings, "Quarnel", "Server Name", "none"), "none");
        EXPECT_EQ(WriteProfileString(settings, "Quarnel", "ServerPort", "80").error,
                  FileError::NotRegular);
        EXPECT_EQ(WriteFileAtomically(settings, "x").error, FileError::NotRegular);
        EXPECT_EQ(fs::status(settings).type(), c.type);
        EXPECT_EQ(Names(program.Path()), std::set<std::string>{"Setting.ini"});
    }
}

// A file larger than its bound is not read whole, however large it claims to be; up to the bound
// it is read as it is.
TEST_F(FileGate, AReadStopsAtItsBound) {
    constexpr std::size_t kLimit = 4096;
    const struct {
        off_t size;
        FileSnapshot::State state;
    } cases[] = {
        {0, FileSnapshot::State::Read},
        {kLimit, FileSnapshot::State::Read},
        {kLimit + 1, FileSnapshot::State::TooLarge},
        {off_t{2} << 30, FileSnapshot::State::TooLarge},  // sparse: 2 GB
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        { std::ofstream(settings, std::ios::trunc); }
        ASSERT_EQ(::truncate(settings.c_str(), c.size), 0);
        const FileSnapshot read = ReadFile(settings, kLimit);
        EXPECT_EQ(read.state, c.state);
        EXPECT_EQ(read.bytes.size(),
                  std::min<std::size_t>(static_cast<std::size_t>(c.size), kLimit));
    }
}

// A settings file larger than the program ever writes reads as no file, and the next save keeps
// it aside and starts a new one.
TEST_F(FileGate, AnOverLargeSettingsFileIsKeptAsideAtTheNextSave) {
    { std::ofstream(settings) << "[Quarnel]\nServerPort=81\n"; }
    ASSERT_EQ(::truncate(settings.c_str(), off_t{100} << 20), 0);
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 80), 80);
    ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", "82"));
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 80), 82);
    EXPECT_EQ(fs::file_size(program.Path() / "Setting.ini.damaged"), std::uintmax_t{100} << 20);
}

TEST_F(FileGate, AFileTheUserMadeReadOnlyIsNotReplaced) {
    std::ofstream(settings) << "[Quarnel]\nServerPort=81\n";
    fs::permissions(settings, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(WriteProfileString(settings, "Quarnel", "ServerPort", "82").error,
              FileError::ReadOnly);
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), 81);
    EXPECT_EQ(Names(program.Path()), std::set<std::string>{"Setting.ini"});
}

// Temporary names cannot be guessed: names planted in advance never stop a save. A temporary of
// the user's left by a copy that died while it wrote is removed, beside the name and beside the
// link's target, once a run; another user's and anything else are left alone.
TEST_F(FileGate, PlantedTemporaryNamesStopNoSaveAndStaleOnesGo) {
    for (int n = 0; n < 3000; ++n) {
        std::ofstream(program.Path() / ("Setting.ini." + std::to_string(::getpid()) + "." +
                                        std::to_string(n) + ".tmp"));
    }
    for (int save = 0; save < 20; ++save) {
        ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", std::to_string(save)));
    }
    EXPECT_EQ(Names(program.Path()).size(), 3001u);

    test_support::TempFolder name;
    test_support::TempFolder target;
    const std::string stale = "Setting.ini.0123456789abcdef.tmp";
    const std::set<std::string> kept = {"Setting.ini.0123456789abcdeg.tmp",
                                        "Setting.ini.0123456789abcdef.tmp.keep",
                                        "Setting.ini.damaged", "notes.txt"};
    for (const auto& folder : {name.Path(), target.Path()}) {
        for (const std::string& file : kept) {
            std::ofstream(folder / file) << "x";
        }
        std::ofstream(folder / stale) << "x";
        std::ofstream(folder / "IPRecord.dat.fedcba9876543210.tmp") << "x";
        if (Root()) {
            std::ofstream(folder / "Setting.ini.1111111111111111.tmp") << "x";
            ASSERT_EQ(::chown((folder / "Setting.ini.1111111111111111.tmp").c_str(), kOtherUser, 0),
                      0);
        }
    }
    fs::create_symlink(target.Path() / "Setting.ini", name.Path() / "Setting.ini");
    ASSERT_TRUE(WriteProfileString(name.Path() / "Setting.ini", "Quarnel", "ServerPort", "80"));
    std::set<std::string> left = kept;
    if (Root()) {
        left.insert("Setting.ini.1111111111111111.tmp");
    }
    left.insert("Setting.ini");
    EXPECT_EQ(Names(name.Path()), left);
    EXPECT_EQ(Names(target.Path()), left);
}

// Runs `hold` in a child process until the test ends it; returns the child once `hold` began.
pid_t InChild(const std::function<void(int ready)>& hold) {
    int pipe[2];
    EXPECT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        hold(pipe[1]);
        ::_exit(0);
    }
    ::close(pipe[1]);
    char byte = 0;
    EXPECT_EQ(::read(pipe[0], &byte, 1), 1);
    ::close(pipe[0]);
    return child;
}

void End(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

// Another user can take no lock that a save waits for; a copy of the program that stops while it
// holds the folder's lock makes a save fail after a bounded wait, and nothing is lost.
TEST_F(FileGate, NoLockHeldByAnotherProcessHoldsASaveForLong) {
    ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", "81"));
    using Clock = std::chrono::steady_clock;

    if (Root()) {
        const pid_t stranger = InChild([&](int ready) {
            const int folder = ::open(program.Path().c_str(), O_RDONLY | O_DIRECTORY);
            const int file = ::open(settings.c_str(), O_RDONLY);
            if (::setuid(kOtherUser) == 0 && ::flock(folder, LOCK_EX) == 0 &&
                ::flock(file, LOCK_EX) == 0) {
                static_cast<void>(::write(ready, "x", 1));
                ::pause();
            }
        });
        const auto start = Clock::now();
        EXPECT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", "82"));
        std::printf("save while another user holds flock on the folder: %lld ms\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                            .count()));
        End(stranger);
    }

    const pid_t stuckCopy = InChild([&](int ready) {
        UpdateFileAtomically(settings, kProfileFileMax, [&](const FileSnapshot&) {
            static_cast<void>(::write(ready, "x", 1));
            ::pause();
            return std::optional<std::string>();
        });
    });
    const auto start = Clock::now();
    const FileStatus waited = WriteProfileString(settings, "Quarnel", "ServerPort", "83");
    const auto waitedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::printf("save while a stopped copy holds the lock: failed after %lld ms\n",
                static_cast<long long>(waitedMs));
    EXPECT_EQ(waited.error, FileError::Locked);
    EXPECT_GE(waitedMs, kFolderLockWaitMs);
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), Root() ? 82 : 81);
    End(stuckCopy);
    EXPECT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", "84"));
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), 84);
}

// Keep-aside names are taken in turn and never over anything that holds one, whatever it is.
TEST_F(FileGate, KeepingAsideTakesTheFirstFreeNameAndReplacesNothing) {
    const fs::path list = program.Path() / "AlarmData.dat";
    const auto damaged = [&](const std::string& suffix) {
        return program.Path() / ("AlarmData.dat" + suffix);
    };
    std::ofstream(damaged(".damaged")) << "first";
    fs::create_symlink("nowhere", damaged(".damaged-2"));
    ASSERT_EQ(::mkfifo(damaged(".damaged-3").c_str(), 0644), 0);
    std::ofstream(list) << "bad";
    KeptAside kept = KeepFileAside(ReadFile(list, 100));
    ASSERT_TRUE(kept.aside);
    EXPECT_EQ(*kept.aside, damaged(".damaged-4"));
    EXPECT_EQ(ReadAll(damaged(".damaged-4")), "bad");
    EXPECT_EQ(ReadAll(damaged(".damaged")), "first");
    EXPECT_FALSE(fs::exists(list));

    // A file another copy of the program put in place since it was read is not the damaged one.
    std::ofstream(list) << "bad";
    const FileSnapshot read = ReadFile(list, 100);
    ASSERT_TRUE(WriteFileAtomically(list, "good"));
    EXPECT_FALSE(KeepFileAside(read).aside);
    EXPECT_EQ(ReadAll(list), "good");

    for (int n = 5; n <= kMaxKeptAside; ++n) {
        std::ofstream(damaged(".damaged-" + std::to_string(n)));
    }
    kept = KeepFileAside(ReadFile(list, 100));
    EXPECT_FALSE(kept.aside);
    EXPECT_EQ(kept.status.error, FileError::NamesTaken);
    EXPECT_EQ(ReadAll(list), "good");
}

// The gate tells its reporter what it refused.
TEST_F(FileGate, RefusalsAreReported) {
    std::vector<std::string> lines;
    SetFileGateReporter([&](const std::string& line) { lines.push_back(line); });
    ASSERT_EQ(::mkfifo(settings.c_str(), 0644), 0);
    ReadFile(settings, 100);
    ReadFile(program.Path() / "missing", 100);
    SetFileGateReporter(nullptr);
    const FileStatus notRegular{FileError::NotRegular, 0};
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], settings.string() + " " + notRegular.Describe());
}

}  // namespace
}  // namespace platform
