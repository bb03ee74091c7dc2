#pragma once

// Sound output in the shape the alarm player was designed around: the player hands the output
// blocks of samples, each block's done flag is set (and the caller's event signalled) when the
// block has been played, and the player refills and writes done blocks again. "No sound device"
// is an ordinary failure of OpenAudioOutput. Blocks are played by a feeder thread of the output,
// whose device writes wake when the output is reset or closed.
//
// Tests replace the device with RecordingAudioSink, which keeps every block written and plays
// only as many as the test allows.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sync.h"

namespace platform {

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The fields of a wave file's format chunk.
struct WaveFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
};

// A block of samples owned by the caller, who leaves it alone from Write until its done flag is
// set again.
struct WaveBlock {
    static constexpr std::uint32_t kDone = 1;

    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    std::atomic<std::uint32_t> flags{0};
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Queues the block behind those written before; clears its done flag. False when the block
    // was not taken (it is then left done).
    virtual bool Write(WaveBlock& block) = 0;
    // Stops playing at once; every queued block is marked done. Writes may follow.
    virtual void Reset() = 0;
};

// Opens the default sound device for PCM of 8 or 16 bits. `doneEvent` (may be null) is set each
// time a block has been played. Null when there is no device or the format is not playable.
std::unique_ptr<AudioOutput> OpenAudioOutput(const WaveFormat& format, Handle doneEvent);

using AudioOutputFactory =
    std::function<std::unique_ptr<AudioOutput>(const WaveFormat& format, Handle doneEvent)>;
// Replaces the sound device (tests); an empty factory restores it.
void SetAudioOutputFactory(AudioOutputFactory factory);

// A sound device for tests: installed for the life of the object, records every block written
// (copied at the write) and plays the first `budget` of them at once; later blocks stay queued
// until the budget grows or the output is reset.
class RecordingAudioSink {
public:
    explicit RecordingAudioSink(std::size_t budget = 0);
    ~RecordingAudioSink();
    RecordingAudioSink(const RecordingAudioSink&) = delete;
    RecordingAudioSink& operator=(const RecordingAudioSink&) = delete;

    void SetBudget(std::size_t blocks);
    // While false, opening fails as it does on a machine without a sound device.
    void SetDevicePresent(bool present);

    std::vector<std::vector<std::uint8_t>> Blocks() const;
    // Outputs opened and resets made so far, and the format of the last open.
    int Opens() const;
    int Resets() const;
    WaveFormat LastFormat() const;

private:
    class Output;
    friend class Output;

    std::unique_ptr<AudioOutput> Open(const WaveFormat& format, Handle doneEvent);
    // Plays queued blocks while the budget allows. Caller holds m_mutex.
    void PlayQueuedLocked();

    mutable std::mutex m_mutex;
    std::size_t m_budget;
    bool m_present = true;
    int m_opens = 0;
    int m_resets = 0;
    WaveFormat m_format;
    std::vector<std::vector<std::uint8_t>> m_blocks;
    std::size_t m_played = 0;
    struct Queued {
        WaveBlock* block;
        Handle doneEvent;
        const Output* owner;
    };
    std::vector<Queued> m_queue;
};

}  // namespace platform
