// The resize library against OpenCV's cv::resize (one thread) on the same pictures, for every
// element type (8u, 16u, 32f), layout (one, three and four channels) and interpolation, in three
// directions: D1 to 1080p, 1080p to D1 and 1080p halved. Build V4 runs everywhere, build V1 (the
// build the program runs) on 8-bit three-channel pictures. Every case is repeated and its median
// kept; after the runs a table gives each build's median processor time as a ratio to OpenCV's
// (below 1.0 is faster), and the full-screen nearest enlargement as a ratio to a memcpy of its
// output.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "resize/frame_resize.h"
#include "resize/resize_build.h"
#include "resize/resize_core.h"

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
                                     {"1080pToD1", 1920, 1080, 704, 576},
                                     {"1080pHalf", 1920, 1080, 960, 540}};

struct Mode {
    const char* name;
    int32_t ours;
    int openCv;
    bool reducesOnly;
};

// Supersampling is area averaging, OpenCV's INTER_AREA; Lanczos is six taps here, eight in
// OpenCV's INTER_LANCZOS4.
constexpr Mode kModes[] = {{"Nearest", resize::kInterNearest, cv::INTER_NEAREST, false},
                           {"Linear", resize::kInterLinear, cv::INTER_LINEAR, false},
                           {"Cubic", resize::kInterCubic, cv::INTER_CUBIC, false},
                           {"Lanczos", resize::kInterLanczos, cv::INTER_LANCZOS4, false},
                           {"Super", resize::kInterSuper, cv::INTER_AREA, true}};

struct Format {
    const char* name;
    int32_t elementType;
    int channels;
    int openCvType;
};

constexpr Format kFormats[] = {
    {"8uC1", resize::kElement8u, 1, CV_8UC1},    {"8uC3", resize::kElement8u, 3, CV_8UC3},
    {"8uC4", resize::kElement8u, 4, CV_8UC4},    {"16uC1", resize::kElement16u, 1, CV_16UC1},
    {"16uC3", resize::kElement16u, 3, CV_16UC3}, {"16uC4", resize::kElement16u, 4, CV_16UC4},
    {"32fC1", resize::kElement32f, 1, CV_32FC1}, {"32fC3", resize::kElement32f, 3, CV_32FC3},
    {"32fC4", resize::kElement32f, 4, CV_32FC4},
};

constexpr int kRepetitions = 5;

cv::Mat MakePicture(const Format& format, int width, int height) {
    cv::Mat bytes(height, width, CV_MAKETYPE(CV_8U, format.channels));
    std::mt19937 random(42);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.ptr<uint8_t>(y);
        for (int x = 0; x < width * format.channels; ++x) {
            // A smooth picture with some noise, so that no path can take a shortcut.
            row[x] = static_cast<uint8_t>((x / format.channels + y) / 4 + random() % 16);
        }
    }
    cv::Mat picture;
    const double scale = format.elementType == resize::kElement16u   ? 257.0
                         : format.elementType == resize::kElement32f ? 1.0 / 255.0
                                                                     : 1.0;
    bytes.convertTo(picture, format.openCvType, scale);
    return picture;
}

// Each picture is made once: every case of a format and size reads the same one.
const cv::Mat& RandomPicture(const Format& format, int width, int height) {
    static std::map<std::string, cv::Mat> pictures;
    const std::string key =
        std::string(format.name) + "/" + std::to_string(width) + "x" + std::to_string(height);
    auto it = pictures.find(key);
    if (it == pictures.end()) {
        it = pictures.emplace(key, MakePicture(format, width, height)).first;
    }
    return it->second;
}

void OpenCvResize(benchmark::State& state, Direction direction, Mode mode, Format format) {
    const cv::Mat& src = RandomPicture(format, direction.srcWidth, direction.srcHeight);
    cv::Mat dst(direction.dstHeight, direction.dstWidth, format.openCvType);
    for (auto _ : state) {
        cv::resize(src, dst, dst.size(), 0, 0, mode.openCv);
        benchmark::DoNotOptimize(dst.data);
    }
}

void LibraryResize(benchmark::State& state, Direction direction, Mode mode, Format format,
                   ResizeBuild build) {
    const cv::Mat& src = RandomPicture(format, direction.srcWidth, direction.srcHeight);
    cv::Mat dst(direction.dstHeight, direction.dstWidth, format.openCvType);
    const double xFactor = double(direction.dstWidth) / direction.srcWidth;
    const double yFactor = double(direction.dstHeight) / direction.srcHeight;
    const resize::ResizeCoreFn cores[] = {resize::ResizeCore, resize::ResizeCoreV2,
                                          resize::ResizeCoreV3, resize::ResizeCoreV4};
    const resize::ResizeBuildKit& kit = resize::ResizeBuildKitOf(build);
    const auto run = [&] {
        if (mode.ours == resize::kInterSuper) {
            return kit.superCore(src.data, direction.srcWidth, direction.srcHeight,
                                 static_cast<int32_t>(src.step), 0, 0, direction.srcWidth,
                                 direction.srcHeight, dst.data, static_cast<int32_t>(dst.step),
                                 direction.dstWidth, direction.dstHeight, xFactor, yFactor,
                                 format.channels, format.channels, format.elementType, 0, 1);
        }
        return cores[static_cast<int>(build) - 1](
            src.data, direction.srcWidth, direction.srcHeight, static_cast<int32_t>(src.step), 0, 0,
            direction.srcWidth, direction.srcHeight, dst.data, static_cast<int32_t>(dst.step),
            direction.dstWidth, direction.dstHeight, xFactor, yFactor, 0.0, 0.0, format.channels,
            format.channels, format.elementType, 0, mode.ours, 1);
    };
    for (auto _ : state) {
        if (run() != resize::kResizeOk) {
            state.SkipWithError("resize failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data);
    }
}

// What full-screen painting cannot beat: one pass over the output frame.
void CopyFrame(benchmark::State& state, Direction direction) {
    const std::size_t bytes = std::size_t(direction.dstWidth) * direction.dstHeight * 3;
    std::vector<uint8_t> from(bytes, 7);
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

std::string CaseName(const Direction& direction, const Format& format, const Mode& mode) {
    return std::string(direction.name) + "/" + format.name + "/" + mode.name + "/";
}

bool Measured(const Direction& direction, const Mode& mode) {
    return !mode.reducesOnly || direction.dstWidth < direction.srcWidth;
}

bool RunsV1(const Format& format) {
    return format.elementType == resize::kElement8u && format.channels == 3;
}

// Collects the median processor time of every case, then prints the ratios. Processor time rather
// than wall time: on a shared machine the wall time also counts the other programs' turns.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                !run.error_occurred) {
                times_[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\n| case | OpenCV (ms) | V1 (ms) | V1 / OpenCV | V4 (ms) | V4 / OpenCV |\n");
        std::printf("|---|---|---|---|---|---|\n");
        for (const Direction& direction : kDirections) {
            for (const Format& format : kFormats) {
                for (const Mode& mode : kModes) {
                    const std::string base = CaseName(direction, format, mode);
                    const double reference = Time(base + "OpenCV");
                    const double v4 = Time(base + "V4");
                    if (reference <= 0 || v4 <= 0) {
                        continue;
                    }
                    const double v1 = Time(base + "V1");
                    std::printf("| %s %s %s | %.3f | ", direction.name, format.name, mode.name,
                                reference);
                    if (v1 > 0) {
                        std::printf("%.3f | %.2f | ", v1, v1 / reference);
                    } else {
                        std::printf("- | - | ");
                    }
                    std::printf("%.3f | %.2f |\n", v4, v4 / reference);
                }
            }
        }
        const double copy = Time("D1to1080p/memcpy");
        const double nearest = Time(CaseName(kDirections[0], kFormats[1], kModes[0]) + "V4");
        if (copy > 0 && nearest > 0) {
            std::printf(
                "\nFull-screen nearest D1 to 1080p, V4 over a memcpy of its output: "
                "%.3f ms / %.3f ms = %.2f\n",
                nearest, copy, nearest / copy);
        }
    }

private:
    double Time(const std::string& name) const {
        const auto it = times_.find(name);
        return it == times_.end() ? -1.0 : it->second;
    }

    std::map<std::string, double> times_;
};

void Repeat(benchmark::internal::Benchmark* benchmark) {
    benchmark->Unit(benchmark::kMillisecond)
        ->MinWarmUpTime(0.05)
        ->MinTime(0.1)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);
    for (const Direction& direction : kDirections) {
        for (const Format& format : kFormats) {
            for (const Mode& mode : kModes) {
                if (!Measured(direction, mode)) {
                    continue;
                }
                const std::string base = CaseName(direction, format, mode);
                Repeat(benchmark::RegisterBenchmark((base + "OpenCV").c_str(), OpenCvResize,
                                                    direction, mode, format));
                if (RunsV1(format)) {
                    Repeat(benchmark::RegisterBenchmark((base + "V1").c_str(), LibraryResize,
                                                        direction, mode, format, ResizeBuild::V1));
                }
                Repeat(benchmark::RegisterBenchmark((base + "V4").c_str(), LibraryResize, direction,
                                                    mode, format, ResizeBuild::V4));
            }
        }
    }
    Repeat(benchmark::RegisterBenchmark("D1to1080p/memcpy", CopyFrame, kDirections[0]));
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
