#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

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
    if (error != 0) {
        return false;
    }
    // The program runs on its own and nobody else waits for it: a thread of its own collects it
    // the moment it ends, so it does not linger as a zombie while the client runs on. The thread
    // touches nothing but the number of the process, and ends with it.
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace platform
