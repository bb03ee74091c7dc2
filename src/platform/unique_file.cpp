#include "platform/unique_file.h"

#include <fcntl.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace platform {
namespace {

// Enough draws that only a folder we may not write to, never a planted name, ends the search.
constexpr int kDraws = 16;

bool RandomWord(std::uint64_t& word) {
    for (;;) {
        const ssize_t n = ::getrandom(&word, sizeof word, 0);
        if (n == static_cast<ssize_t>(sizeof word)) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

UniqueFile CreateUniqueFile(int folder, std::string_view stem, std::string_view suffix,
                            mode_t mode) {
    for (int draw = 0; draw < kDraws; ++draw) {
        std::uint64_t word = 0;
        if (!RandomWord(word)) {
            return {};
        }
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(word));
        std::string name(stem);
        name += '.';
        name += digits;
        name += suffix;
        // O_EXCL with O_CREAT never follows a link, not even a dangling one.
        const int fd = ::openat(folder, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            return {fd, std::move(name)};
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

}  // namespace platform
