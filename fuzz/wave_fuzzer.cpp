// The alarm sound's wave file, looped through the player's blocks, and 4-bit ADPCM audio.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "video/adpcm.h"
#include "video/alarm_wave.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    if (auto sound = ParseWaveFile(file); sound && !sound->data.empty()) {
        auto block = std::make_unique<AlarmPlayerBlock>();
        block->format = sound->format;
        block->sound = std::move(sound->data);
        // Twice round the blocks, so that a short sound wraps more than once.
        for (std::size_t i = 0; i < 2 * kWaveBlockCount; ++i) {
            RefillWaveBuffer(*block, i % kWaveBlockCount);
        }
    }
    std::vector<std::int16_t> samples(2 * size);
    AdpcmState start;
    DecodeADPCMBlock(size, data, samples.data(), &start);
    return 0;
}
