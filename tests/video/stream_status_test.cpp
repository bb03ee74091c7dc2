#include "video/stream_status.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Step {
    std::uint32_t now;
    std::uint32_t framesShown;
    bool receiving;
    std::uint32_t oversizeLength;
    std::optional<std::string> text;
};

void Watch(NoFrameWatch& watch, std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now);
        EXPECT_EQ(watch.Check(step.now, step.framesShown, step.receiving, step.oversizeLength),
                  step.text);
    }
}

// The last frame rate stays while frames come; after five seconds without one the line says so,
// once for each new second, until a frame comes or the connection ends.
TEST(NoFrameWatch, SaysSoOnceNoFrameCameForFiveSeconds) {
    NoFrameWatch watch;
    Watch(watch, {
                     {1'000, 10, true, 0, std::nullopt},
                     {2'000, 35, true, 0, std::nullopt},
                     {6'999, 35, true, 0, std::nullopt},
                     {7'000, 35, true, 0, "No picture for 5 s"},
                     {7'500, 35, true, 0, std::nullopt},
                     {8'000, 35, true, 0, "No picture for 6 s"},
                     {9'000, 36, true, 0, std::nullopt},  // a frame came
                     {13'000, 36, true, 0, std::nullopt},
                     {14'000, 36, true, 0, "No picture for 5 s"},
                     {15'000, 36, false, 0, std::nullopt},  // the connection ended
                     {16'000, 0, true, 0, std::nullopt},    // a new one starts its count again
                     {20'999, 0, true, 0, std::nullopt},
                     {21'000, 0, true, 600'000,
                      "No picture for 5 s: the device sends frames of 600000 bytes, this program "
                      "shows 524288 at most"},
                 });
}

TEST(NoFrameWatch, CountsAcrossTheTickCountersWrap) {
    NoFrameWatch watch;
    Watch(watch, {
                     {0xFFFFF000u, 3, true, 0, std::nullopt},
                     {903, 3, true, 0, std::nullopt},  // 4,999 ms later
                     {904, 3, true, 0, "No picture for 5 s"},
                 });
}

TEST(OversizeFrameText, NamesTheLengthAndWhatThisProgramShows) {
    EXPECT_EQ(OversizeFrameText(600'000),
              "The device sends frames of 600000 bytes, this program shows 524288 at most");
}

}  // namespace
