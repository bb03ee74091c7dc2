#include "platform/file_gate.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

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

// A copy of the program stopped in the middle of an update of `file`, holding its folder's lock.
pid_t StoppedCopyHoldingTheLockOf(const fs::path& file) {
    return InChild([&](int ready) {
        UpdateFileAtomically(file, kProfileFileMax, [&](const FileSnapshot&) {
            static_cast<void>(::write(ready, "x", 1));
            ::pause();
            return std::optional<std::string>();
        });
    });
}

// Becomes the other user, with his group only (a child process's last step as root).
bool BecomeOtherUser() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(kOtherUser, kOtherUser, kOtherUser) == 0 &&
           ::setresuid(kOtherUser, kOtherUser, kOtherUser) == 0;
}

void Age(const fs::path& file) {
    const timespec twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), twoHoursAgo, AT_SYMLINK_NOFOLLOW), 0) << file;
}

// Temporary names cannot be guessed: names planted in advance never stop a save.
TEST_F(FileGate, PlantedTemporaryNamesStopNoSave) {
    for (int n = 0; n < 3000; ++n) {
        std::ofstream(program.Path() / ("Setting.ini." + std::to_string(::getpid()) + "." +
                                        std::to_string(n) + ".tmp"));
    }
    for (int save = 0; save < 20; ++save) {
        ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", std::to_string(save)));
    }
    EXPECT_EQ(Names(program.Path()).size(), 3001u);
}

// Only what a dead copy of the program left is swept: a temporary of the name being written, the
// user's, untouched for longer than any save takes; beside the name and beside a link's target.
// A fresh one may be a live writer's; anything else is someone's file.
TEST_F(FileGate, OnlyTemporariesADeadCopyLeftAreSwept) {
    test_support::TempFolder name;
    test_support::TempFolder target;
    const std::string stale = "Setting.ini.0123456789abcdef.tmp";
    std::set<std::string> kept = {
        "Setting.ini.0123456789abcdeg.tmp", "Setting.ini.0123456789abcdef.tmp.keep",
        "Setting.ini.0123456789abcde.tmp",  "Setting.ini.damaged",
        "notes.fedcba9876543210.tmp",       "IPRecord.dat.fedcba9876543210.tmp",
        "Setting.ini.fedcba9876543210.part"};
    const std::string fresh = "Setting.ini.1111111111111111.tmp";
    const std::string others = "Setting.ini.2222222222222222.tmp";
    for (const auto& folder : {name.Path(), target.Path()}) {
        for (const std::string& file : kept) {
            std::ofstream(folder / file) << "x";
            Age(folder / file);
        }
        std::ofstream(folder / stale) << "x";
        Age(folder / stale);
        std::ofstream(folder / fresh) << "x";
        if (Root()) {
            std::ofstream(folder / others) << "x";
            Age(folder / others);
            ASSERT_EQ(::chown((folder / others).c_str(), kOtherUser, 0), 0);
        }
    }
    fs::create_symlink(target.Path() / "Setting.ini", name.Path() / "Setting.ini");
    ASSERT_TRUE(WriteProfileString(name.Path() / "Setting.ini", "Quarnel", "ServerPort", "80"));
    kept.insert(fresh);
    if (Root()) {
        kept.insert(others);
    }
    kept.insert("Setting.ini");
    EXPECT_EQ(Names(name.Path()), kept);
    EXPECT_EQ(Names(target.Path()), kept);
}

// A copy of the program that takes its locks elsewhere (another runtime folder) writes a file for
// longer than the sweep's age: its temporary stays, and its save goes through.
TEST_F(FileGate, ALiveTemporaryOfAnotherCopyIsKept) {
    test_support::TempFolder runtime;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t other = InChild([&](int ready) {
        ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
        NewFile file(settings);
        char byte = 0;
        if (file.Status() && WriteAll(file.Fd(), "[Quarnel]\nServerPort=90\n") &&
            ::write(ready, "x", 1) == 1 && ::read(go[0], &byte, 1) == 1 && file.Place()) {
            ::_exit(0);
        }
        ::_exit(1);
    });
    std::set<std::string> temporaries;
    for (const std::string& entry : Names(program.Path())) {
        temporaries.insert(entry);
        Age(program.Path() / entry);
    }
    ASSERT_EQ(temporaries.size(), 1u);
    for (int save = 0; save < 3; ++save) {
        ASSERT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", std::to_string(save)));
    }
    temporaries.insert("Setting.ini");
    EXPECT_EQ(Names(program.Path()), temporaries);
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    int status = -1;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), 90);
    ::close(go[0]);
    ::close(go[1]);
}

// Another user swaps the user's own link for his, to the user's private file, in a loop, in a
// folder he may write to: no save and no read ever goes through his link.
TEST_F(FileGate, ALinkSwappedInALoopIsNeverFollowed) {
    if (!Root()) {
        GTEST_SKIP() << "only the superuser can run a second user";
    }
    const fs::path secret = elsewhere.Path() / "secret.ini";
    std::ofstream(secret) << "[Quarnel]\nServerPort=81\n";
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(program.Path().c_str(), 0770), 0);
    ASSERT_EQ(::chown(program.Path().c_str(), 0, kOtherUser), 0);
    std::ofstream(program.Path() / "legit.ini") << "[Quarnel]\nServerPort=80\n";
    fs::create_symlink("legit.ini", settings);
    const fs::path his = program.Path() / "his.ini";
    const pid_t swapper = InChild([&](int ready) {
        if (!BecomeOtherUser() || ::symlink(secret.c_str(), his.c_str()) != 0) {
            return;
        }
        static_cast<void>(::write(ready, "x", 1));
        for (;;) {
            ::renameat2(AT_FDCWD, settings.c_str(), AT_FDCWD, his.c_str(), RENAME_EXCHANGE);
        }
    });
    constexpr int kRounds = 10000;
    int saved = 0, savesRefused = 0, read = 0, readsRefused = 0, followed = 0;
    for (int round = 0; round < kRounds; ++round) {
        const FileStatus written = WriteFileAtomically(settings, "[Quarnel]\nServerPort=82\n");
        (written ? saved : savesRefused)++;
        EXPECT_TRUE(written || written.error == FileError::UntrustedLink) << written.Describe();
        const FileSnapshot snapshot = ReadFile(settings, kProfileFileMax);
        (snapshot.state == FileSnapshot::State::Read ? read : readsRefused)++;
        followed += snapshot.bytes.find("81") != std::string::npos ? 1 : 0;
    }
    End(swapper);
    std::printf(
        "%d saves (%d refused), %d reads (%d refused) while the link was swapped; "
        "%d reads followed the other user's link\n",
        saved + savesRefused, savesRefused, read + readsRefused, readsRefused, followed);
    EXPECT_EQ(followed, 0);
    EXPECT_GT(savesRefused, 0);
    EXPECT_EQ(ReadAll(secret), "[Quarnel]\nServerPort=81\n");
    EXPECT_EQ(Names(elsewhere.Path()), std::set<std::string>{"secret.ini"});
    EXPECT_EQ(ReadAll(program.Path() / "legit.ini"), "[Quarnel]\nServerPort=82\n");
    EXPECT_EQ(Names(program.Path()),
              (std::set<std::string>{"Setting.ini", "his.ini", "legit.ini"}));
}

// Another user swaps a folder on the path, in a group-writable folder, for his link to the user's
// private folder, in a loop: no save and no read ever goes through his folder link.
TEST_F(FileGate, AFolderSwappedInALoopForALinkIsNeverFollowed) {
    if (!Root()) {
        GTEST_SKIP() << "only the superuser can run a second user";
    }
    ASSERT_EQ(::chmod(elsewhere.Path().c_str(), 0700), 0);
    const fs::path secret = elsewhere.Path() / "conf.ini";
    std::ofstream(secret) << "[Quarnel]\nServerPort=81\n";
    ASSERT_EQ(::chmod(program.Path().c_str(), 0770), 0);
    ASSERT_EQ(::chown(program.Path().c_str(), 0, kOtherUser), 0);
    const fs::path sub = program.Path() / "sub";
    fs::create_directory(sub);
    std::ofstream(sub / "conf.ini") << "[Quarnel]\nServerPort=80\n";
    const fs::path his = program.Path() / "his";
    const pid_t swapper = InChild([&](int ready) {
        if (!BecomeOtherUser() || ::symlink(elsewhere.Path().c_str(), his.c_str()) != 0) {
            return;
        }
        static_cast<void>(::write(ready, "x", 1));
        for (;;) {
            ::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, his.c_str(), RENAME_EXCHANGE);
        }
    });
    constexpr int kRounds = 5000;
    int savesRefused = 0, readsRefused = 0, followed = 0;
    for (int round = 0; round < kRounds; ++round) {
        const FileStatus written =
            WriteFileAtomically(sub / "conf.ini", "[Quarnel]\nServerPort=82\n");
        savesRefused += written ? 0 : 1;
        EXPECT_TRUE(written || written.error == FileError::UntrustedLink) << written.Describe();
        const FileSnapshot snapshot = ReadFile(sub / "conf.ini", kProfileFileMax);
        readsRefused += snapshot.state == FileSnapshot::State::Read ? 0 : 1;
        followed += snapshot.bytes.find("81") != std::string::npos ? 1 : 0;
    }
    End(swapper);
    std::printf(
        "%d saves (%d refused), %d reads (%d refused) while the folder was swapped; "
        "%d reads followed the other user's folder link\n",
        kRounds, savesRefused, kRounds, readsRefused, followed);
    EXPECT_EQ(followed, 0);
    EXPECT_GT(savesRefused, 0);
    EXPECT_EQ(ReadAll(secret), "[Quarnel]\nServerPort=81\n");
    EXPECT_EQ(Names(elsewhere.Path()), std::set<std::string>{"conf.ini"});
}

// Every link on a path is judged by the one rule, folder links too, whichever way the path is
// spelled; what passes reaches the file its links name.
TEST_F(FileGate, EveryLinkOnAPathIsJudgedByTheOneRule) {
    if (!Root()) {
        GTEST_SKIP() << "only the superuser can give a link to another user";
    }
    const fs::path base = program.Path();
    for (const char* folder : {"private", "mine", "gw", "st", "his"}) {
        fs::create_directory(base / folder);
    }
    ASSERT_EQ(::chmod((base / "private").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((base / "gw").c_str(), 0770), 0);
    ASSERT_EQ(::chown((base / "gw").c_str(), 0, kOtherUser), 0);
    ASSERT_EQ(::chmod((base / "st").c_str(), 01777), 0);
    ASSERT_EQ(::chown((base / "his").c_str(), kOtherUser, kOtherUser), 0);
    std::ofstream(base / "private" / "conf.ini") << "private";
    const auto link = [&](const fs::path& to, const fs::path& at, uid_t owner) {
        fs::create_symlink(to, base / at);
        ASSERT_EQ(::lchown((base / at).c_str(), owner, owner), 0);
    };
    link("conf.ini", "mine/own.ini", 0);
    link("conf.ini", "mine/his.ini", kOtherUser);
    link("../mine", "gw/mine", 0);
    link(base / "mine", "gw/absolute", 0);
    link("../mine", "his/mine", kOtherUser);
    link("../private", "gw/private", kOtherUser);
    link(base / "private", "st/private", kOtherUser);
    link("../gw/private", "mine/gw", 0);
    link("../his/mine/conf.ini", "mine/through-his.ini", 0);

    const fs::path mine = base / "mine" / "conf.ini";
    const struct {
        const char* name;
        fs::path path;
        bool passes;
    } cases[] = {
        {"the file by an absolute path", mine, true},
        {"the file by a relative path", "mine/conf.ini", true},
        {"the user's own link to a file", "mine/own.ini", true},
        {"another's link in the user's private folder", "mine/his.ini", true},
        {"the user's own folder link in a group-writable folder", "gw/mine/conf.ini", true},
        {"the user's own absolute folder link there", "gw/absolute/conf.ini", true},
        {"another's folder link in his own folder", "mine/through-his.ini", true},
        {"\"..\" back out of a folder", "mine/../mine/conf.ini", true},
        {"\"..\" after a folder link", "gw/mine/../mine/conf.ini", true},
        {"another's folder link in a group-writable folder", "gw/private/conf.ini", false},
        {"the same reached through the user's own link", "mine/gw/conf.ini", false},
        {"another's folder link in a sticky folder", "st/private/conf.ini", false},
        {"another's folder link left again by \"..\"", "gw/private/../mine/conf.ini", false},
    };
    const fs::path before = fs::current_path();
    fs::current_path(base);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string content = std::string("written by ") + c.name;
        const FileStatus written = WriteFileAtomically(c.path, content);
        const FileSnapshot snapshot = ReadFile(c.path, 1024);
        if (c.passes) {
            EXPECT_TRUE(written) << written.Describe();
            EXPECT_EQ(ReadAll(mine), content);
            EXPECT_EQ(snapshot.bytes, content);
        } else {
            EXPECT_EQ(written.error, FileError::UntrustedLink);
            EXPECT_EQ(snapshot.status.error, FileError::UntrustedLink);
        }
        EXPECT_EQ(ReadAll(base / "private" / "conf.ini"), "private");
        EXPECT_EQ(Names(base / "private"), std::set<std::string>{"conf.ini"});
    }
    fs::current_path(before);
}

// A lock folder another user made, or a link he planted in its place, takes no save: the save
// goes on unlocked, and that is reported.
TEST_F(FileGate, ALockFolderAnotherUserTookStopsNoSave) {
    if (!Root()) {
        GTEST_SKIP() << "only the superuser can give a folder to another user";
    }
    std::vector<std::string> lines;
    SetFileGateReporter([&](const std::string& line) { lines.push_back(line); });
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtimeBefore = runtime ? runtime : "";
    ::unsetenv("HOME");
    test_support::TempFolder takenFolder;
    test_support::TempFolder linkedFolder;
    fs::create_directory(takenFolder.Path() / "torvel-locks");
    ASSERT_EQ(::chown((takenFolder.Path() / "torvel-locks").c_str(), kOtherUser, kOtherUser), 0);
    fs::create_directory(elsewhere.Path() / "his");
    ASSERT_EQ(::chmod((elsewhere.Path() / "his").c_str(), 0700), 0);
    ASSERT_EQ(::chown((elsewhere.Path() / "his").c_str(), kOtherUser, kOtherUser), 0);
    fs::create_symlink(elsewhere.Path() / "his", linkedFolder.Path() / "torvel-locks");
    int value = 0;
    for (const auto& folder : {takenFolder.Path(), linkedFolder.Path()}) {
        SCOPED_TRACE(folder);
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        EXPECT_TRUE(WriteProfileString(settings, "Quarnel", "ServerPort", std::to_string(++value)));
        EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), value);
    }
    SetFileGateReporter(nullptr);
    ::setenv("HOME", home.c_str(), 1);
    runtime ? ::setenv("XDG_RUNTIME_DIR", runtimeBefore.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("file locks"), std::string::npos) << lines[0];
    EXPECT_TRUE(fs::is_empty(elsewhere.Path() / "his"));
}

// A temporary is no more readable than the file it will replace while it is written, whatever it
// is for; a new file gets the mode asked for.
TEST_F(FileGate, ATemporaryIsNoMoreReadableThanTheFileItReplaces) {
    const struct {
        mode_t target;  // 0: no file yet
        const char* suffix;
        mode_t temporary;
    } cases[] = {
        {0600, ".tmp", 0600},
        {0600, ".part", 0600},
        {0640, ".tmp", 0640},
        {0, ".tmp", 0644 & ~0022},
    };
    const mode_t umaskBefore = ::umask(0022);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.target) + c.suffix);
        fs::remove(settings);
        if (c.target != 0) {
            std::ofstream(settings) << "x";
            ASSERT_EQ(::chmod(settings.c_str(), c.target), 0);
        }
        NewFile file(settings, c.suffix);
        ASSERT_TRUE(file.Status());
        struct stat info {};
        ASSERT_EQ(::fstat(file.Fd(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.temporary);
        ASSERT_TRUE(file.Place());
        EXPECT_EQ(fs::status(settings).permissions(), static_cast<fs::perms>(c.temporary));
    }
    ::umask(umaskBefore);
}

// A file made on one thread may be placed, or dropped, on another, and leaves nothing held.
TEST_F(FileGate, ANewFileMayBePlacedOnAnotherThread) {
    auto file = std::make_unique<NewFile>(settings);
    ASSERT_TRUE(file->Status());
    ASSERT_TRUE(WriteAll(file->Fd(), "[Quarnel]\nServerPort=81\n"));
    FileStatus placed;
    std::thread([&] { placed = file->Place(); }).join();
    EXPECT_TRUE(placed) << placed.Describe();
    std::thread([&] { file = std::make_unique<NewFile>(settings); }).join();
    file.reset();
    EXPECT_TRUE(WriteProfileString(settings, "Quarnel", "Server Name", "10.0.0.5"));
    EXPECT_EQ(ReadProfileInt(settings, "Quarnel", "ServerPort", 0), 81);
    EXPECT_EQ(Names(program.Path()), std::set<std::string>{"Setting.ini"});
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

    const pid_t stuckCopy = StoppedCopyHoldingTheLockOf(settings);
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

// An update that may not wait (trace.log's at exit) takes only the lock of the folder it writes
// in: a stopped copy holding the lock of the folder that holds the name, a link, keeps it waiting
// no more than any other lock does; one holding the lock of the link's target fails it at once.
TEST_F(FileGate, AnUpdateThatMayNotWaitWaitsOnNoLock) {
    fs::create_symlink(elsewhere.Path() / "trace.log", program.Path() / "trace.log");
    using Clock = std::chrono::steady_clock;
    for (const fs::path& held : {settings, elsewhere.Path() / "other.ini"}) {
        const pid_t stuckCopy = StoppedCopyHoldingTheLockOf(held);
        const auto start = Clock::now();
        const FileStatus appended = UpdateFileAtomically(
            program.Path() / "trace.log", 1024,
            [](const FileSnapshot& current) { return current.bytes + "line\r\n"; }, false);
        const auto tookMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        End(stuckCopy);
        EXPECT_LT(tookMs, kFolderLockWaitMs) << held;
        EXPECT_EQ(appended.error, held == settings ? FileError::None : FileError::Locked) << held;
    }
    EXPECT_EQ(ReadAll(elsewhere.Path() / "trace.log"), "line\r\n");
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
