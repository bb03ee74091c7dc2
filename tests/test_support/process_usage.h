#pragma once

// The process's threads and open descriptors, as the system sees them: what a thread or handle
// that outlives its use shows up in.

#include <filesystem>
#include <fstream>
#include <string>

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

// The most memory the process holds at once from now on, as the growth over what it holds now:
// the system's peak mark is set back to the present when the meter is made.
class PeakMemoryMeter {
public:
    PeakMemoryMeter() {
        std::ofstream("/proc/self/clear_refs") << "5";
        m_nStartKb = StatusKb("VmRSS:");
    }
    long GrowthKb() const { return StatusKb("VmHWM:") - m_nStartKb; }

private:
    static long StatusKb(const std::string& field) {
        std::ifstream status("/proc/self/status");
        for (std::string word; status >> word;) {
            if (word == field) {
                long kb = 0;
                status >> kb;
                return kb;
            }
        }
        return 0;
    }

    long m_nStartKb = 0;
};

}  // namespace test_support
