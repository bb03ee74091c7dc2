#include "platform/audio.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>
#include <deque>
#include <limits>

#include "platform/clock.h"
#include "platform/thread.h"

namespace platform {

namespace {

std::mutex g_factoryMutex;
AudioOutputFactory g_factory;

void MarkDone(WaveBlock& block, Handle doneEvent) {
    block.flags.fetch_or(WaveBlock::kDone);
    if (doneEvent) {
        SetEvent(doneEvent);
    }
}

// ALSA reports a missing card on stderr by default; for us that is an ordinary result.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

class AlsaOutput : public AudioOutput {
public:
    AlsaOutput(snd_pcm_t* pcm, std::size_t frameBytes, Handle doneEvent)
        : m_pcm(pcm), m_frameBytes(frameBytes), m_done(doneEvent) {}

    ~AlsaOutput() override {
        Reset();
        snd_pcm_close(m_pcm);
    }

    bool Start() {
        m_queued = CreateSemaphoreObject(0, std::numeric_limits<std::int32_t>::max());
        if (m_queued) {
            m_feeder = StartThread([this] { return Feed(); });
        }
        return static_cast<bool>(m_feeder);
    }

    bool Write(WaveBlock& block) override {
        block.flags.fetch_and(~WaveBlock::kDone);
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(&block);
        }
        if (!m_feeder && !Start()) {
            Reset();
            return false;
        }
        return ReleaseSemaphore(m_queued);
    }

    void Reset() override {
        StopThread(m_feeder, 1'000);
        CloseObject(m_queued);
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
        std::lock_guard lock(m_mutex);
        for (WaveBlock* block : m_queue) {
            MarkDone(*block, m_done);
        }
        m_queue.clear();
    }

private:
    std::uint32_t Feed() {
        while (WaitForObject(m_queued, kInfinite) == kWaitObject0) {
            WaveBlock* block = nullptr;
            {
                std::lock_guard lock(m_mutex);
                block = m_queue.front();
            }
            if (!Play(block->data, block->length)) {
                return 0;
            }
            std::lock_guard lock(m_mutex);
            m_queue.pop_front();
            MarkDone(*block, m_done);
        }
        return 0;
    }

    // Writes whole frames of the block; false on a stop or a device error.
    bool Play(const std::uint8_t* data, std::uint32_t length) {
        snd_pcm_uframes_t left = length / m_frameBytes;
        while (left > 0) {
            const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, data, left);
            if (n == -EAGAIN) {
                if (!WaitForDevice()) {
                    return false;
                }
            } else if (n < 0) {
                if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) {
                    return false;
                }
            } else {
                left -= static_cast<snd_pcm_uframes_t>(n);
                data += static_cast<std::size_t>(n) * m_frameBytes;
            }
        }
        return true;
    }

    bool WaitForDevice() {
        const int count = snd_pcm_poll_descriptors_count(m_pcm);
        if (count <= 0) {
            return false;
        }
        std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
        snd_pcm_poll_descriptors(m_pcm, fds.data(), static_cast<unsigned>(count));
        fds.back() = {CurrentStopFd(), POLLIN, 0};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        return (fds.back().revents & POLLIN) == 0;
    }

    snd_pcm_t* m_pcm;
    std::size_t m_frameBytes;
    Handle m_done;
    std::mutex m_mutex;
    std::deque<WaveBlock*> m_queue;
    HandleField m_queued;
    HandleField m_feeder;
};

std::unique_ptr<AudioOutput> OpenAlsaOutput(const WaveFormat& format, Handle doneEvent) {
    snd_pcm_format_t sampleFormat = SND_PCM_FORMAT_UNKNOWN;
    if (format.wBitsPerSample == 8) {
        sampleFormat = SND_PCM_FORMAT_U8;
    } else if (format.wBitsPerSample == 16) {
        sampleFormat = SND_PCM_FORMAT_S16_LE;
    }
    if (format.wFormatTag != kWaveFormatPcm || sampleFormat == SND_PCM_FORMAT_UNKNOWN ||
        format.nChannels == 0 || format.nSamplesPerSec == 0) {
        return nullptr;
    }
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(SilentAlsaErrors); });
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return nullptr;
    }
    constexpr unsigned kLatencyMicroseconds = 500'000;
    if (snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                           format.nSamplesPerSec, 1, kLatencyMicroseconds) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    const std::size_t frameBytes = std::size_t{format.nChannels} * (format.wBitsPerSample / 8);
    auto output = std::make_unique<AlsaOutput>(pcm, frameBytes, doneEvent);
    return output->Start() ? std::move(output) : nullptr;
}

}  // namespace

std::unique_ptr<AudioOutput> OpenAudioOutput(const WaveFormat& format, Handle doneEvent) {
    AudioOutputFactory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    return factory ? factory(format, doneEvent) : OpenAlsaOutput(format, doneEvent);
}

void SetAudioOutputFactory(AudioOutputFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

// --- RecordingAudioSink ---

class RecordingAudioSink::Output : public AudioOutput {
public:
    Output(RecordingAudioSink& sink, Handle doneEvent) : m_sink(sink), m_done(doneEvent) {}
    ~Output() override { Drop(false); }

    bool Write(WaveBlock& block) override {
        block.flags.fetch_and(~WaveBlock::kDone);
        std::lock_guard lock(m_sink.m_mutex);
        m_sink.m_blocks.emplace_back(block.data, block.data + block.length);
        m_sink.m_queue.push_back({&block, m_done, this});
        m_sink.PlayQueuedLocked();
        return true;
    }

    void Reset() override { Drop(true); }

private:
    // Takes this output's blocks off the device queue, marking them done on a reset.
    void Drop(bool reset) {
        std::lock_guard lock(m_sink.m_mutex);
        auto& queue = m_sink.m_queue;
        for (const Queued& q : queue) {
            if (q.owner == this && reset) {
                MarkDone(*q.block, q.doneEvent);
            }
        }
        std::erase_if(queue, [this](const Queued& q) { return q.owner == this; });
        m_sink.m_resets += reset ? 1 : 0;
    }

    RecordingAudioSink& m_sink;
    Handle m_done;
};

RecordingAudioSink::RecordingAudioSink(std::size_t budget) : m_budget(budget) {
    SetAudioOutputFactory(
        [this](const WaveFormat& format, Handle doneEvent) { return Open(format, doneEvent); });
}

RecordingAudioSink::~RecordingAudioSink() {
    SetAudioOutputFactory(nullptr);
}

std::unique_ptr<AudioOutput> RecordingAudioSink::Open(const WaveFormat& format, Handle doneEvent) {
    std::lock_guard lock(m_mutex);
    if (!m_present) {
        return nullptr;
    }
    ++m_opens;
    m_format = format;
    return std::make_unique<Output>(*this, doneEvent);
}

void RecordingAudioSink::SetBudget(std::size_t blocks) {
    std::lock_guard lock(m_mutex);
    m_budget = blocks;
    PlayQueuedLocked();
}

void RecordingAudioSink::SetDevicePresent(bool present) {
    std::lock_guard lock(m_mutex);
    m_present = present;
}

void RecordingAudioSink::PlayQueuedLocked() {
    while (!m_queue.empty() && m_played < m_budget) {
        MarkDone(*m_queue.front().block, m_queue.front().doneEvent);
        m_queue.erase(m_queue.begin());
        ++m_played;
    }
}

std::vector<std::vector<std::uint8_t>> RecordingAudioSink::Blocks() const {
    std::lock_guard lock(m_mutex);
    return m_blocks;
}

int RecordingAudioSink::Opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

int RecordingAudioSink::Resets() const {
    std::lock_guard lock(m_mutex);
    return m_resets;
}

WaveFormat RecordingAudioSink::LastFormat() const {
    std::lock_guard lock(m_mutex);
    return m_format;
}

}  // namespace platform
