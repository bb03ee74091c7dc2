#pragma once

// The alarm sound: a RIFF wave file loaded whole and played in a loop through eight blocks of
// 8,000 bytes, each refilled from the sound (wrapping to its start) whenever the output has
// played it, until the stop event.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/sync.h"

inline constexpr std::size_t kWaveBlockCount = 8;
inline constexpr std::uint32_t kWaveBlockSize = 8'000;
inline constexpr std::uint32_t kPlayFailed = 0xFFFFFFFF;

struct WaveSound {
    platform::WaveFormat format;
    std::vector<std::uint8_t> data;  // the "data" chunk; empty when the file has none
};

// Walks the chunks of a wave file image: the format chunk first, then chunks up to "data".
// Nullopt when the image ends before a format chunk; a file without a "data" chunk, or with an
// empty one, gives an empty sound.
std::optional<WaveSound> ParseWaveFile(const std::vector<std::uint8_t>& file);

struct AlarmPlayerBlock {
    platform::Handle hPlayEvent;  // set by the output each time a block has been played
    platform::WaveFormat format;
    std::vector<std::uint8_t> sound;
    std::uint32_t position = 0;
    std::array<platform::WaveBlock, kWaveBlockCount> headers;
    std::array<std::array<std::uint8_t, kWaveBlockSize>, kWaveBlockCount> buffers{};
};

// Fills block `index` with the next kWaveBlockSize bytes of the sound, starting again at its
// beginning as often as it runs out. The sound must not be empty.
void RefillWaveBuffer(AlarmPlayerBlock& block, std::size_t index);

class CAlarmWave {
public:
    CAlarmWave();
    ~CAlarmWave();
    CAlarmWave(const CAlarmWave&) = delete;
    CAlarmWave& operator=(const CAlarmWave&) = delete;

    // Loads the file at `path`, or else alarm.wav in the program folder, after stopping a player
    // that still plays the old sound. 1 when a file with sound data was loaded; 0 when neither
    // file could be opened, or the one opened is not a wave file or holds no sound.
    std::uint32_t LoadAlarmWave(const std::string& path);
    void SetPlayEvent(platform::Handle playEvent);
    // The player thread: 0 after the stop event (or a stop request), kPlayFailed when there is
    // no sound to play or no output to play it on.
    std::uint32_t PlayAudioWavThread();

    const std::string& Path() const { return m_strPath; }
    bool HasSound() const { return m_pBlock && !m_pBlock->sound.empty(); }

private:
    std::string m_strPath;
    platform::Handle m_hPlayEvent;
    std::unique_ptr<AlarmPlayerBlock> m_pBlock;
};
