#include "video/adpcm.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::int32_t, 89> kStepSizes = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::int32_t, 16> kIndexChanges = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                        -1, -1, -1, -1, 2, 4, 6, 8};

}  // namespace

AdpcmState g_AdpcmState;

std::int16_t DecodeADPCMSample(std::uint32_t nibble, AdpcmState* state) {
    if (nibble > 15 || !state) {
        return 0;
    }
    const std::int32_t step =
        kStepSizes[static_cast<std::size_t>(std::clamp(state->stepIndex, 0, 88))];
    state->stepIndex = std::clamp(state->stepIndex + kIndexChanges[nibble], 0, 88);
    const std::int32_t magnitude = static_cast<std::int32_t>(nibble & 7);
    const std::int32_t difference = (2 * magnitude + 1) * step / 8;
    state->predicted += nibble < 8 ? difference : -difference;
    state->predicted = std::clamp(state->predicted, -32768, 32767);
    return static_cast<std::int16_t>(state->predicted);
}

std::uint32_t DecodeADPCMBlock(std::size_t count, const std::uint8_t* bytes, std::int16_t* samples,
                               AdpcmState* startState) {
    if (startState) {
        *startState = g_AdpcmState;
    }
    for (std::size_t i = 0; i < count; ++i) {
        samples[2 * i] = DecodeADPCMSample(bytes[i] & 0x0F, &g_AdpcmState);
        samples[2 * i + 1] = DecodeADPCMSample(bytes[i] >> 4, &g_AdpcmState);
    }
    return 0;
}
