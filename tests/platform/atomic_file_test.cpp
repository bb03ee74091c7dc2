#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>

#include "platform/profile.h"
#include "test_support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

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

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

class AtomicFile : public ::testing::Test {
protected:
    test_support::TempFolder program;
    test_support::TempFolder elsewhere;
    fs::path settings = program.Path() / "Setting.ini";
};

// A save replaces the file the name stands for and nothing else: the permissions the user gave
// it stay, and a link stays a link whose target gets the new content, in the target's folder.
TEST_F(AtomicFile, ASaveKeepsTheModeAndWritesThroughALink) {
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

TEST_F(AtomicFile, ALinkLoopIsNeitherFollowedNorReplaced) {
    fs::create_symlink("other.ini", settings);
    fs::create_symlink("Setting.ini", program.Path() / "other.ini");
    EXPECT_FALSE(WriteProfileString(settings, "Quarnel", "ServerPort", "80"));
    EXPECT_TRUE(fs::is_symlink(settings));
    EXPECT_EQ(Names(program.Path()), (std::set<std::string>{"Setting.ini", "other.ini"}));
}

// A link owned by another user in a folder of ours was planted: a save through it could
// overwrite any file of ours elsewhere, so nothing is written.
TEST_F(AtomicFile, ALinkPlantedByAnotherUserIsNotFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser can give a link to another user";
    }
    const fs::path target = elsewhere.Path() / "precious";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, settings);
    ASSERT_EQ(::lchown(settings.c_str(), 12345, 12345), 0);
    EXPECT_FALSE(WriteProfileString(settings, "Quarnel", "ServerPort", "80"));
    EXPECT_EQ(ReadAll(target), "keep");
}

// A copy of the program killed while it wrote leaves its temporary file; the next update of the
// same file removes it, and only it: not one of a copy still running, not our own, not another
// file's and nothing else beside the file.
TEST_F(AtomicFile, AnUpdateRemovesTheTemporaryFilesOfEndedWriters) {
    const std::string ended = std::to_string(EndedProcess());
    const std::string running = std::to_string(::getppid());
    const std::string ours = std::to_string(::getpid());
    for (const std::string& name :
         {"Setting.ini." + ended + ".0.tmp", "Setting.ini." + ended + ".17.tmp",
          "Setting.ini." + running + ".3.tmp", "Setting.ini." + ours + ".9.tmp",
          "IPRecord.dat." + ended + ".0.tmp", std::string("Setting.ini.damaged"),
          std::string("Setting.ini.x.0.tmp"), "Setting.ini." + ended + ".tmp",
          "Setting.ini." + ended + ".0.tmp.keep"}) {
        std::ofstream(program.Path() / name) << std::string(1000, 'x');
    }
    ASSERT_TRUE(UpdateFileAtomically(
        settings, [](const FileSnapshot&) { return std::optional<std::string>("[Quarnel]\n"); }));
    EXPECT_EQ(
        Names(program.Path()),
        (std::set<std::string>{
            "Setting.ini", "Setting.ini." + running + ".3.tmp", "Setting.ini." + ours + ".9.tmp",
            "IPRecord.dat." + ended + ".0.tmp", "Setting.ini.damaged", "Setting.ini.x.0.tmp",
            "Setting.ini." + ended + ".tmp", "Setting.ini." + ended + ".0.tmp.keep"}));
}

}  // namespace
}  // namespace platform
