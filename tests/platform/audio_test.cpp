#include "platform/audio.h"

#include <gtest/gtest.h>

namespace {

using platform::WaveBlock;

TEST(AudioOutput, UnplayableFormatsAreAnOrdinaryFailure) {
    platform::WaveFormat compressed{2, 1, 8'000, 4'000, 256, 4};
    EXPECT_EQ(platform::OpenAudioOutput(compressed, {}), nullptr);
    platform::WaveFormat twentyFourBits{platform::kWaveFormatPcm, 2, 48'000, 288'000, 6, 24};
    EXPECT_EQ(platform::OpenAudioOutput(twentyFourBits, {}), nullptr);
}

TEST(RecordingAudioSink, PlaysWithinItsBudgetAndResetReturnsTheRest) {
    platform::RecordingAudioSink sink(1);
    const platform::Handle done = platform::CreateEventObject(false, false);
    auto output =
        platform::OpenAudioOutput({platform::kWaveFormatPcm, 1, 8'000, 8'000, 1, 8}, done);
    ASSERT_NE(output, nullptr);
    const std::uint8_t samples[] = {1, 2, 3};
    WaveBlock a{samples, 3}, b{samples + 1, 2};
    output->Write(a);
    output->Write(b);
    EXPECT_TRUE(a.flags & WaveBlock::kDone);
    EXPECT_FALSE(b.flags & WaveBlock::kDone);
    EXPECT_EQ(platform::WaitForObject(done, 0), platform::kWaitObject0);
    output->Reset();
    EXPECT_TRUE(b.flags & WaveBlock::kDone);
    EXPECT_EQ(sink.Blocks(), (std::vector<std::vector<std::uint8_t>>{{1, 2, 3}, {2, 3}}));
    sink.SetDevicePresent(false);
    EXPECT_EQ(platform::OpenAudioOutput(sink.LastFormat(), done), nullptr);
    platform::CloseObject(done);
}

}  // namespace
