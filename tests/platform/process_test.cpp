#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

// The processes whose parent is this one, zombies included, from /proc.
int OwnChildren() {
    int children = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold spaces and brackets.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        long parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 &&
            parent == ::getpid()) {
            ++children;
        }
    }
    return children;
}

// A program that ends at once leaves no zombie behind while the client runs on, also when no
// other program is started after it.
TEST(StartProcess, AnEndedProgramIsCollected) {
    ASSERT_EQ(OwnChildren(), 0);
    ASSERT_TRUE(platform::StartProcess("/bin/sh", {"-c", "exit 3"}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (OwnChildren() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(OwnChildren(), 0);
}

TEST(StartProcess, AMissingProgramIsNotStarted) {
    EXPECT_FALSE(platform::StartProcess("/no/such/program", {}));
    EXPECT_EQ(OwnChildren(), 0);
}

}  // namespace
