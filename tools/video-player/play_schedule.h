#pragma once

// When each frame of a recording is due, from the time stamps its records carry.

#include <cstdint>
#include <span>
#include <vector>

namespace player {

// The gap taken where a recording's stamps say nothing usable: about the rate the devices send.
inline constexpr std::uint32_t kFallbackGapMs = 100;
// A longer gap between two frames is no recorded pause but a broken or reset stamp.
inline constexpr std::uint32_t kLongestGapMs = 2'000;

// The play time of each frame, in milliseconds from the first, given the frames' time stamps
// (milliseconds, wrapping at 2^32). A gap that is zero, runs backwards or is longer than
// kLongestGapMs (a damaged record, a recording without stamps) takes the middle of the sound
// gaps of the file instead, or kFallbackGapMs when none is sound.
std::vector<std::uint64_t> FramePlayTimes(std::span<const std::uint32_t> stamps);

}  // namespace player
