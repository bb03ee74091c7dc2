#pragma once

// A decoder of 4-bit IMA ADPCM audio with one global decoder state.

#include <cstddef>
#include <cstdint>

struct AdpcmState {
    std::int32_t stepIndex = 50;
    std::int32_t predicted = 0;
};

extern AdpcmState g_AdpcmState;

// The next sample for one nibble; 0, leaving the state alone, for a nibble above 15 or no state.
std::int16_t DecodeADPCMSample(std::uint32_t nibble, AdpcmState* state);

// Decodes `count` bytes (low nibble first) into 2 x count samples on the global state, after
// copying the state as it was into `startState`. Returns 0.
std::uint32_t DecodeADPCMBlock(std::size_t count, const std::uint8_t* bytes, std::int16_t* samples,
                               AdpcmState* startState);
