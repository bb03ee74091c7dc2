#include "video/alarm_wave.h"

#include <algorithm>
#include <cstring>

#include "kernel/kernel_object.h"
#include "platform/clock.h"
#include "platform/file_gate.h"
#include "platform/thread.h"

namespace {

constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kFormatSize = 16;
constexpr std::uint32_t kPlayerStopWaitMs = 1'000;
// Far above any alarm sound; a larger file is refused rather than read into memory.
constexpr std::size_t kMaxWaveFileSize = 64 << 20;

std::uint32_t Read(const std::uint8_t* p, int size) {
    std::uint32_t value = 0;
    for (int i = size; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

// The whole file; nullopt when it cannot be read or is larger than any alarm sound.
std::optional<std::vector<std::uint8_t>> ReadWaveFile(const std::string& path) {
    const platform::FileSnapshot read = platform::ReadFile(path, kMaxWaveFileSize);
    if (read.state != platform::FileSnapshot::State::Read) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(read.bytes.begin(), read.bytes.end());
}

}  // namespace

std::optional<WaveSound> ParseWaveFile(const std::vector<std::uint8_t>& file) {
    std::size_t at = kRiffHeaderSize;
    if (file.size() < at + kChunkHeaderSize + kFormatSize) {
        return std::nullopt;
    }
    WaveSound sound;
    const std::uint8_t* f = file.data() + at + kChunkHeaderSize;
    sound.format = {static_cast<std::uint16_t>(Read(f, 2)),
                    static_cast<std::uint16_t>(Read(f + 2, 2)),
                    Read(f + 4, 4),
                    Read(f + 8, 4),
                    static_cast<std::uint16_t>(Read(f + 12, 2)),
                    static_cast<std::uint16_t>(Read(f + 14, 2))};
    // Each chunk is its header, its size in bytes and a pad byte when that size is odd.
    std::uint64_t chunkSize = Read(file.data() + at + 4, 4);
    for (;;) {
        at += kChunkHeaderSize + std::min<std::uint64_t>(chunkSize + (chunkSize & 1),
                                                         file.size() - at - kChunkHeaderSize);
        if (file.size() - at < kChunkHeaderSize) {
            return sound;  // the end of the file: no sound
        }
        chunkSize = Read(file.data() + at + 4, 4);
        if (std::memcmp(file.data() + at, "data", 4) == 0) {
            const std::size_t begin = at + kChunkHeaderSize;
            const std::size_t length = std::min<std::uint64_t>(chunkSize, file.size() - begin);
            sound.data.assign(file.begin() + static_cast<std::ptrdiff_t>(begin),
                              file.begin() + static_cast<std::ptrdiff_t>(begin + length));
            return sound;
        }
    }
}

void RefillWaveBuffer(AlarmPlayerBlock& block, std::size_t index) {
    platform::WaveBlock& header = block.headers[index];
    header.flags.fetch_and(~platform::WaveBlock::kDone);
    std::uint8_t* out = block.buffers[index].data();
    const std::size_t soundSize = block.sound.size();
    for (std::size_t filled = 0; filled < kWaveBlockSize;) {
        if (block.position >= soundSize) {
            block.position = 0;
        }
        const std::size_t take =
            std::min<std::size_t>(kWaveBlockSize - filled, soundSize - block.position);
        std::memcpy(out + filled, block.sound.data() + block.position, take);
        filled += take;
        block.position += static_cast<std::uint32_t>(take);
    }
    header.data = out;
    header.length = kWaveBlockSize;
}

CAlarmWave::CAlarmWave() = default;

CAlarmWave::~CAlarmWave() = default;

std::uint32_t CAlarmWave::LoadAlarmWave(const std::string& path) {
    // The player reads the block while it plays: it must be gone before the block is replaced.
    if (g_lpApp) {
        platform::StopThread(g_lpApp->h_PlayAudioWavThread, kPlayerStopWaitMs);
    }
    m_strPath = path;
    std::optional<std::vector<std::uint8_t>> file = ReadWaveFile(path);
    if (!file && g_lpApp) {
        file = ReadWaveFile(g_lpApp->CSettingINI.m_strProgramPath + "alarm.wav");
    }
    // A file without sound data is a failed load: the caller then tells the user instead of
    // starting a player that can only fail in silence.
    std::optional<WaveSound> sound = file ? ParseWaveFile(*file) : std::nullopt;
    if (!sound || sound->data.empty()) {
        m_pBlock.reset();
        return 0;
    }
    m_pBlock = std::make_unique<AlarmPlayerBlock>();
    m_pBlock->hPlayEvent = m_hPlayEvent;
    m_pBlock->format = sound->format;
    m_pBlock->sound = std::move(sound->data);
    return 1;
}

void CAlarmWave::SetPlayEvent(platform::Handle playEvent) {
    m_hPlayEvent = playEvent;
    if (m_pBlock) {
        m_pBlock->hPlayEvent = playEvent;
    }
}

std::uint32_t CAlarmWave::PlayAudioWavThread() {
    if (!HasSound()) {
        return kPlayFailed;
    }
    AlarmPlayerBlock& block = *m_pBlock;
    std::unique_ptr<platform::AudioOutput> output =
        platform::OpenAudioOutput(block.format, block.hPlayEvent);
    if (!output) {
        return kPlayFailed;
    }
    block.position = 0;
    for (std::size_t i = 0; i < kWaveBlockCount; ++i) {
        RefillWaveBuffer(block, i);
        output->Write(block.headers[i]);
    }
    const platform::Handle waits[] = {block.hPlayEvent, g_lpApp->h_StopAlarmWavEvent};
    while (platform::WaitForAnyObject(waits, platform::kInfinite) == platform::kWaitObject0) {
        for (std::size_t i = 0; i < kWaveBlockCount; ++i) {
            if (block.headers[i].flags & platform::WaveBlock::kDone) {
                RefillWaveBuffer(block, i);
                output->Write(block.headers[i]);
            }
        }
    }
    output->Reset();
    return 0;
}
