#pragma once

// The process's threads and open descriptors, as the system sees them: what a thread or handle
// that outlives its use shows up in.

#include <filesystem>

namespace test_support {

inline long CountEntries(const char* folder) {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline long ProcessThreadCount() {
    return CountEntries("/proc/self/task");
}

// Less the listing's own descriptor.
inline long ProcessDescriptorCount() {
    return CountEntries("/proc/self/fd") - 1;
}

}  // namespace test_support
