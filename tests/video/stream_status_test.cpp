#include "video/stream_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Step {
    std::uint32_t now;
    std::uint32_t framesShown;
    bool receiving;
    SkippedFrame skipped;
    std::optional<std::string> text;
};

void Watch(NoFrameWatch& watch, std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now);
        EXPECT_EQ(watch.Check(step.now, step.framesShown, step.receiving, step.skipped), step.text);
    }
}

// The last frame rate stays while frames come; after five seconds without one the line says so,
// once for each new second, until a frame comes or the connection ends.
TEST(NoFrameWatch, SaysSoOnceNoFrameCameForFiveSeconds) {
    NoFrameWatch watch;
    Watch(watch, {
                     {1'000, 10, true, {}, std::nullopt},
                     {2'000, 35, true, {}, std::nullopt},
                     {6'999, 35, true, {}, std::nullopt},
                     {7'000, 35, true, {}, "No picture for 5 s"},
                     {7'500, 35, true, {}, std::nullopt},
                     {8'000, 35, true, {}, "No picture for 6 s"},
                     {9'000, 36, true, {}, std::nullopt},  // a frame came
                     {13'000, 36, true, {}, std::nullopt},
                     {14'000, 36, true, {}, "No picture for 5 s"},
                     {15'000, 36, false, {}, std::nullopt},  // the connection ended
                     {16'000, 0, true, {}, std::nullopt},    // a new one starts its count again
                     {20'999, 0, true, {}, std::nullopt},
                     {21'000,
                      0,
                      true,
                      {600'000},
                      "No picture for 5 s: the device sends frames of 600000 bytes, this program "
                      "shows 524288 at most"},
                 });
}

TEST(NoFrameWatch, CountsAcrossTheTickCountersWrap) {
    NoFrameWatch watch;
    Watch(watch, {
                     {0xFFFFF000u, 3, true, {}, std::nullopt},
                     {903, 3, true, {}, std::nullopt},  // 4,999 ms later
                     {904, 3, true, {}, "No picture for 5 s"},
                 });
}

TEST(SkippedFrameText, NamesWhatTheDeviceSendsAndWhatThisProgramShows) {
    EXPECT_EQ(SkippedFrameText({600'000}),
              "The device sends frames of 600000 bytes, this program shows 524288 at most");
    EXPECT_EQ(SkippedFrameText({0, {0xFF, 0xD8, 0xFF, 0xE0}, 4}),
              "The device sends frames that begin FF D8 FF E0, this program shows those that "
              "begin FF D8 FF DB");
    EXPECT_EQ(NoFrameText(7, {0, {0x00, 0x0A}, 2}),
              "No picture for 7 s: the device sends frames that begin 00 0A, this program shows "
              "those that begin FF D8 FF DB");
}

}  // namespace
