#include "play_schedule.h"

#include <algorithm>

namespace player {
namespace {

bool Sound(std::uint32_t gap) {
    return gap > 0 && gap <= kLongestGapMs;
}

}  // namespace

std::vector<std::uint64_t> FramePlayTimes(std::span<const std::uint32_t> stamps) {
    std::vector<std::uint32_t> gaps;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        // Unsigned subtraction keeps a gap whole across the stamp's wrap-around.
        gaps.push_back(stamps[i] - stamps[i - 1]);
    }
    std::vector<std::uint32_t> sound;
    std::copy_if(gaps.begin(), gaps.end(), std::back_inserter(sound), Sound);
    std::uint32_t standIn = kFallbackGapMs;
    if (!sound.empty()) {
        const auto middle = sound.begin() + static_cast<std::ptrdiff_t>(sound.size() / 2);
        std::nth_element(sound.begin(), middle, sound.end());
        standIn = *middle;
    }
    std::vector<std::uint64_t> times;
    times.reserve(stamps.size());
    std::uint64_t now = 0;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (i > 0) {
            now += Sound(gaps[i - 1]) ? gaps[i - 1] : standIn;
        }
        times.push_back(now);
    }
    return times;
}

}  // namespace player
