#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <mutex>

extern char** environ;

namespace platform {

namespace {

// Programs we started and have not yet seen end. Nobody waits for them, so each start collects
// the ones that ended meanwhile instead of leaving them behind as zombies.
std::mutex g_childrenMutex;
std::vector<pid_t> g_children;

void ReapEndedChildren() {
    std::erase_if(g_children, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace

bool StartProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    std::string programText = program.string();
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    argv.push_back(programText.data());
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        return false;
    }
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int error =
        posix_spawn(&pid, programText.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);

    std::lock_guard lock(g_childrenMutex);
    ReapEndedChildren();
    if (error != 0) {
        return false;
    }
    g_children.push_back(pid);
    return true;
}

}  // namespace platform
