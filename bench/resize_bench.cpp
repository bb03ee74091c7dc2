// The frame resize against OpenCV's cv::resize (one thread) on the same 8-bit three-channel
// pictures: D1 to 1080p and back, nearest neighbour, linear, cubic and Lanczos (six taps here,
// eight in OpenCV's INTER_LANCZOS4), builds V1 and V4. After the runs a table gives each build's
// time as a ratio to OpenCV's (below 1.0 is faster).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "resize/frame_resize.h"
#include "resize/resize_build.h"
#include "resize/resize_dispatch.h"

namespace {

using resize::ResizeBuild;

struct Direction {
    const char* name;
    int srcWidth;
    int srcHeight;
    int dstWidth;
    int dstHeight;
};

constexpr Direction kDirections[] = {{"D1to1080p", 704, 576, 1920, 1080},
                                     {"1080pToD1", 1920, 1080, 704, 576}};

struct Mode {
    const char* name;
    int32_t ours;
    int openCv;
};

constexpr Mode kModes[] = {{"Nearest", resize::kInterNearest, cv::INTER_NEAREST},
                           {"Linear", resize::kInterLinear, cv::INTER_LINEAR},
                           {"Cubic", resize::kInterCubic, cv::INTER_CUBIC},
                           {"Lanczos", resize::kInterLanczos, cv::INTER_LANCZOS4}};

cv::Mat RandomPicture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    std::mt19937 random(42);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ptr<uint8_t>(y);
        for (int x = 0; x < width * 3; ++x) {
            // A smooth picture with some noise, so that no path can take a shortcut.
            row[x] = static_cast<uint8_t>((x / 3 + y) / 4 + random() % 16);
        }
    }
    return picture;
}

void OpenCvResize(benchmark::State& state, Direction direction, Mode mode) {
    const cv::Mat src = RandomPicture(direction.srcWidth, direction.srcHeight);
    cv::Mat dst(direction.dstHeight, direction.dstWidth, CV_8UC3);
    for (auto _ : state) {
        cv::resize(src, dst, dst.size(), 0, 0, mode.openCv);
        benchmark::DoNotOptimize(dst.data);
    }
}

void FrameResize(benchmark::State& state, Direction direction, Mode mode, ResizeBuild build) {
    const cv::Mat src = RandomPicture(direction.srcWidth, direction.srcHeight);
    cv::Mat dst(direction.dstHeight, direction.dstWidth, CV_8UC3);
    const resize::ResizeEntryFn body = resize::ResizeDispatchTable[static_cast<int>(build)];
    const double xFactor = double(direction.dstWidth) / direction.srcWidth;
    const double yFactor = double(direction.dstHeight) / direction.srcHeight;
    for (auto _ : state) {
        const int32_t status =
            body(src.data, {direction.srcWidth, direction.srcHeight},
                 static_cast<int32_t>(src.step), {0, 0, direction.srcWidth, direction.srcHeight},
                 dst.data, static_cast<int32_t>(dst.step),
                 {direction.dstWidth, direction.dstHeight}, xFactor, yFactor, mode.ours);
        if (status != resize::kResizeOk) {
            state.SkipWithError("resize failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data);
    }
}

// Collects the mean time of every run, then prints the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\n| case | OpenCV (ms) | V1 (ms) | V1 / OpenCV | V4 (ms) | V4 / OpenCV |\n");
        std::printf("|---|---|---|---|---|---|\n");
        for (const Direction& direction : kDirections) {
            for (const Mode& mode : kModes) {
                const std::string base = std::string(direction.name) + "/" + mode.name + "/";
                const auto time = [&](const char* who) {
                    const auto it = times_.find(base + who);
                    return it == times_.end() ? -1.0 : it->second;
                };
                const double reference = time("OpenCV");
                if (reference <= 0) {
                    continue;
                }
                std::printf("| %s %s | %.2f | %.2f | %.2f | %.2f | %.2f |\n", direction.name,
                            mode.name, reference, time("V1"), time("V1") / reference, time("V4"),
                            time("V4") / reference);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    for (const Direction& direction : kDirections) {
        for (const Mode& mode : kModes) {
            const std::string base = std::string(direction.name) + "/" + mode.name + "/";
            benchmark::RegisterBenchmark((base + "OpenCV").c_str(), OpenCvResize, direction, mode)
                ->Unit(benchmark::kMillisecond)
                ->MinWarmUpTime(0.2);
            benchmark::RegisterBenchmark((base + "V1").c_str(), FrameResize, direction, mode,
                                         ResizeBuild::V1)
                ->Unit(benchmark::kMillisecond)
                ->MinWarmUpTime(0.2);
            benchmark::RegisterBenchmark((base + "V4").c_str(), FrameResize, direction, mode,
                                         ResizeBuild::V4)
                ->Unit(benchmark::kMillisecond)
                ->MinWarmUpTime(0.2);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
