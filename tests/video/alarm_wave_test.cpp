#include "video/alarm_wave.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "kernel/kernel_object.h"
#include "platform/audio.h"
#include "platform/thread.h"
#include "test_support/temp_folder.h"
#include "video/adpcm.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    Put(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) {
        out.push_back(0);
    }
    return out;
}

Bytes FormatChunk() {
    Bytes body;
    Put(body, platform::kWaveFormatPcm, 2);
    Put(body, 1, 2);      // mono
    Put(body, 8'000, 4);  // samples per second
    Put(body, 8'000, 4);
    Put(body, 1, 2);
    Put(body, 8, 2);
    return Chunk("fmt ", body);
}

Bytes Counting(std::size_t size) {
    Bytes sound(size);
    for (std::size_t i = 0; i < size; ++i) {
        sound[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return sound;
}

Bytes WaveFile(const std::vector<Bytes>& chunks) {
    Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Bytes& chunk : chunks) {
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

TEST(WaveFile, ChunkWalkFindsDataBehindOtherChunks) {
    const Bytes sound = Counting(1'001);
    const auto parsed = ParseWaveFile(
        WaveFile({FormatChunk(), Chunk("LIST", Bytes(33, 'x')), Chunk("data", sound)}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->format.nSamplesPerSec, 8'000u);
    EXPECT_EQ(parsed->format.wBitsPerSample, 8);
    EXPECT_EQ(parsed->data, sound);
}

TEST(WaveFile, EndsAtTheEndOfTheFile) {
    // No data chunk, an empty one, a data chunk that claims more than the file holds.
    EXPECT_TRUE(
        ParseWaveFile(WaveFile({FormatChunk(), Chunk("LIST", Bytes(8, 'x'))}))->data.empty());
    EXPECT_TRUE(ParseWaveFile(WaveFile({FormatChunk(), Chunk("data", {})}))->data.empty());
    Bytes cut = WaveFile({FormatChunk(), Chunk("data", Counting(100))});
    cut.erase(cut.end() - 40, cut.end());
    EXPECT_EQ(ParseWaveFile(cut)->data, Bytes(Counting(60)));
    EXPECT_FALSE(ParseWaveFile(Bytes(20, 0)));
}

TEST(WaveBuffers, RefillsWrapToTheStartOfTheSound) {
    AlarmPlayerBlock block;
    block.sound = Counting(20'000);
    for (std::size_t i = 0; i < 3; ++i) {
        RefillWaveBuffer(block, i);
    }
    const auto& b = block.buffers;
    EXPECT_TRUE(std::equal(b[0].begin(), b[0].end(), block.sound.begin()));
    EXPECT_TRUE(std::equal(b[1].begin(), b[1].end(), block.sound.begin() + 8'000));
    EXPECT_TRUE(std::equal(b[2].begin(), b[2].begin() + 4'000, block.sound.begin() + 16'000));
    EXPECT_TRUE(std::equal(b[2].begin() + 4'000, b[2].end(), block.sound.begin()));
    EXPECT_EQ(block.headers[2].length, kWaveBlockSize);

    block.sound = Counting(3'000);  // shorter than a block: repeated within it
    block.position = 0;
    RefillWaveBuffer(block, 0);
    for (std::size_t i = 0; i < kWaveBlockSize; ++i) {
        ASSERT_EQ(b[0][i], block.sound[i % 3'000]) << i;
    }
}

class AlarmPlayer : public ::testing::Test {
protected:
    AlarmPlayer() {
        g_lpApp = new KernelObject;
        g_lpApp->CSettingINI.m_strProgramPath = folder.Path().string() + "/";
        g_lpApp->h_PlayAlarmWavEvent = platform::CreateEventObject(false, false);
        g_lpApp->h_StopAlarmWavEvent = platform::CreateEventObject(false, false);
        wave.SetPlayEvent(g_lpApp->h_PlayAlarmWavEvent);
    }
    ~AlarmPlayer() override {
        platform::JoinAllThreads();
        platform::CloseObject(g_lpApp->h_PlayAlarmWavEvent);
        platform::CloseObject(g_lpApp->h_StopAlarmWavEvent);
        delete g_lpApp;
        g_lpApp = nullptr;
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        const auto path = folder.Path() / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    void StartPlayer() {
        g_lpApp->h_PlayAudioWavThread =
            platform::StartThread([this] { return wave.PlayAudioWavThread(); });
    }

    test_support::TempFolder folder;
    platform::RecordingAudioSink sink{4};  // the device plays four blocks, then holds
    CAlarmWave wave;
};

// Eight blocks go out at once; as the device plays them, played blocks come back refilled with
// the sound that follows, until the stop event resets the output.
TEST_F(AlarmPlayer, PlaysTheSoundInALoopUntilStopped) {
    const Bytes sound = Counting(20'000);
    ASSERT_EQ(wave.LoadAlarmWave(Write("a.wav", WaveFile({FormatChunk(), Chunk("data", sound)}))),
              1u);
    StartPlayer();
    const auto blocksWritten = [&](std::size_t n) {
        for (int i = 0; i < 2'000 && sink.Blocks().size() < n; ++i) {
            platform::Sleep(1);
        }
        return sink.Blocks().size();
    };
    EXPECT_EQ(blocksWritten(12), 12u);
    Bytes played;
    for (const Bytes& block : sink.Blocks()) {
        played.insert(played.end(), block.begin(), block.end());
    }
    for (std::size_t i = 0; i < played.size(); ++i) {
        ASSERT_EQ(played[i], sound[i % sound.size()]) << i;
    }
    platform::SetEvent(g_lpApp->h_StopAlarmWavEvent);
    EXPECT_EQ(platform::StopThread(g_lpApp->h_PlayAudioWavThread, 5'000), 0u);
    EXPECT_EQ(sink.Resets(), 1);
    EXPECT_EQ(sink.LastFormat().nSamplesPerSec, 8'000u);
}

TEST_F(AlarmPlayer, AFileWithoutSoundFailsToLoad) {
    const Bytes silent[] = {
        WaveFile({FormatChunk(), Chunk("data", {})}),
        WaveFile({FormatChunk(), Chunk("LIST", Counting(6))}),
        {'R', 'I', 'F', 'F'},
    };
    for (const auto& bytes : silent) {
        ASSERT_EQ(wave.LoadAlarmWave(
                      Write("a.wav", WaveFile({FormatChunk(), Chunk("data", Counting(9))}))),
                  1u);
        EXPECT_EQ(wave.LoadAlarmWave(Write("silent.wav", bytes)), 0u);
        EXPECT_FALSE(wave.HasSound());
        EXPECT_EQ(wave.PlayAudioWavThread(), kPlayFailed);
    }
}

TEST_F(AlarmPlayer, NoDeviceEndsThePlayerAtOnce) {
    ASSERT_EQ(
        wave.LoadAlarmWave(Write("a.wav", WaveFile({FormatChunk(), Chunk("data", Counting(9))}))),
        1u);
    sink.SetDevicePresent(false);
    EXPECT_EQ(wave.PlayAudioWavThread(), kPlayFailed);
    EXPECT_EQ(sink.Opens(), 0);
}

TEST_F(AlarmPlayer, FallsBackToAlarmWavBesideTheProgram) {
    EXPECT_EQ(wave.LoadAlarmWave((folder.Path() / "missing.wav").string()), 0u);
    Write("alarm.wav", WaveFile({FormatChunk(), Chunk("data", Counting(16))}));
    EXPECT_EQ(wave.LoadAlarmWave((folder.Path() / "missing.wav").string()), 1u);
    EXPECT_TRUE(wave.HasSound());
    EXPECT_EQ(wave.Path(), (folder.Path() / "missing.wav").string());
}

// The reload replaces the sound the player reads: the old player is stopped and joined first.
TEST_F(AlarmPlayer, ReloadStopsThePlayerOfTheOldSound) {
    const std::string path =
        Write("a.wav", WaveFile({FormatChunk(), Chunk("data", Counting(20'000))}));
    ASSERT_EQ(wave.LoadAlarmWave(path), 1u);
    sink.SetBudget(0);
    StartPlayer();
    for (int i = 0; i < 2'000 && sink.Blocks().size() < kWaveBlockCount; ++i) {
        platform::Sleep(1);
    }
    ASSERT_EQ(wave.LoadAlarmWave(path), 1u);
    EXPECT_FALSE(g_lpApp->h_PlayAudioWavThread);
    EXPECT_EQ(sink.Resets(), 1);
}

TEST(AdpcmDecoder, PublishedExamples) {
    AdpcmState state;
    EXPECT_EQ(DecodeADPCMSample(7, &state), 1642);
    EXPECT_EQ(state.stepIndex, 58);
    const AdpcmState before = state;
    EXPECT_EQ(DecodeADPCMSample(16, &state), 0);
    EXPECT_EQ(state.stepIndex, before.stepIndex);
    EXPECT_EQ(state.predicted, before.predicted);
    EXPECT_EQ(DecodeADPCMSample(7, nullptr), 0);
    for (const auto& [nibble, limit] : {std::pair{7u, 32767}, {15u, -32768}}) {
        AdpcmState run;
        std::int16_t sample = 0;
        for (int i = 0; i < 100; ++i) {
            sample = DecodeADPCMSample(nibble, &run);
        }
        EXPECT_EQ(sample, limit);
        EXPECT_EQ(run.stepIndex, 88);
    }
}

TEST(AdpcmDecoder, BlocksDecodeLowNibbleFirstOnTheGlobalState) {
    g_AdpcmState = AdpcmState{};
    const std::uint8_t bytes[] = {0x07, 0xF0};
    std::int16_t samples[4] = {};
    AdpcmState start;
    EXPECT_EQ(DecodeADPCMBlock(2, bytes, samples, &start), 0u);
    EXPECT_EQ(start.stepIndex, 50);
    EXPECT_EQ(samples[0], 1642);  // nibble 7
    AdpcmState expected{50, 0};
    for (const std::uint32_t nibble : {7u, 0u, 0u, 15u}) {
        DecodeADPCMSample(nibble, &expected);
    }
    EXPECT_EQ(samples[3], expected.predicted);
    EXPECT_EQ(g_AdpcmState.predicted, expected.predicted);
}

}  // namespace
