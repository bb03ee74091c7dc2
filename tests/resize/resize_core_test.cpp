#include "resize/resize_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "resize/frame_resize.h"
#include "resize_test_support.h"

namespace resize {
namespace {

using test::CoreCall;

struct StatusCase {
    const char* name;
    void (*change)(CoreCall& call);
    bool nullSrc;
    bool nullDst;
    int32_t status;
};

class CoreStatus : public ::testing::TestWithParam<StatusCase> {};

// Each case also breaks a rule that is checked later, to show which check comes first; the
// destination is never touched by a refused call.
TEST_P(CoreStatus, ChecksInOrderAndLeavesTheDestination) {
    CoreCall call;
    GetParam().change(call);
    const std::vector<uint8_t> src(8 * 8 * 3, 1);
    std::vector<uint8_t> dst(16 * 16 * 3, 0xEE);
    for (ResizeCoreFn core : test::AllCores()) {
        EXPECT_EQ(call.Run(core, GetParam().nullSrc ? nullptr : src.data(),
                           GetParam().nullDst ? nullptr : dst.data()),
                  GetParam().status);
        EXPECT_EQ(dst, std::vector<uint8_t>(16 * 16 * 3, 0xEE));
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, CoreStatus,
    ::testing::Values(
        StatusCase{"NullSource", [](CoreCall& c) { c.srcWidth = 0; }, true, false,
                   kResizeNullPointer},
        StatusCase{"NullDestination", [](CoreCall& c) { c.srcStep = 0; }, false, true,
                   kResizeNullPointer},
        StatusCase{"SourceWidth", [](CoreCall& c) { c.srcWidth = 0, c.srcStep = 0; }, false, false,
                   kResizeSizeError},
        StatusCase{"SourceHeight", [](CoreCall& c) { c.srcHeight = -1, c.dstStep = 0; }, false,
                   false, kResizeSizeError},
        StatusCase{"SourceStep", [](CoreCall& c) { c.srcStep = 0, c.roiX = -1; }, false, false,
                   kResizeStepError},
        StatusCase{"DestinationStep", [](CoreCall& c) { c.dstStep = -3, c.roiWidth = 0; }, false,
                   false, kResizeStepError},
        StatusCase{"NegativeOrigin", [](CoreCall& c) { c.roiY = -1, c.roiX = 8; }, false, false,
                   kResizeSizeError},
        StatusCase{"EmptyRectangle", [](CoreCall& c) { c.roiHeight = 0, c.roiX = 8; }, false, false,
                   kResizeSizeError},
        StatusCase{"OriginRightOfImage", [](CoreCall& c) { c.roiX = 8, c.dstWidth = 0; }, false,
                   false, kResizeOriginOutside},
        StatusCase{"OriginBelowImage", [](CoreCall& c) { c.roiY = 9, c.xFactor = 0; }, false, false,
                   kResizeOriginOutside},
        StatusCase{"DestinationWidth", [](CoreCall& c) { c.dstWidth = 0, c.xFactor = 0; }, false,
                   false, kResizeSizeError},
        StatusCase{"DestinationHeight", [](CoreCall& c) { c.dstHeight = -2, c.yFactor = kNaN; },
                   false, false, kResizeSizeError},
        StatusCase{"ZeroFactor", [](CoreCall& c) { c.xFactor = 0, c.interpolation = 3; }, false,
                   false, kResizeFactorError},
        StatusCase{"NegativeFactor", [](CoreCall& c) { c.yFactor = -1, c.interpolation = 8; },
                   false, false, kResizeFactorError},
        StatusCase{"FactorNotANumber", [](CoreCall& c) { c.yFactor = kNaN; }, false, false,
                   kResizeFactorError},
        StatusCase{"Interpolation3", [](CoreCall& c) { c.interpolation = 3; }, false, false,
                   kResizeInterpolationError},
        StatusCase{"Interpolation0", [](CoreCall& c) { c.interpolation = 0; }, false, false,
                   kResizeInterpolationError},
        StatusCase{"Supersampling", [](CoreCall& c) { c.interpolation = 8; }, false, false,
                   kResizeInterpolationError},
        StatusCase{"LayoutWithoutKernels", [](CoreCall& c) { c.pixelStride = 2; }, false, false,
                   kResizeSizeError},
        StatusCase{"UnknownElementType", [](CoreCall& c) { c.elementType = 3; }, false, false,
                   kResizeSizeError},
        StatusCase{"StepNotWholeElements",
                   [](CoreCall& c) { c.elementType = kElement16u, c.srcStep = 47; }, false, false,
                   kResizeStepError},
        StatusCase{"OffsetsBeyond32Bits",
                   [](CoreCall& c) { c.srcHeight = 100000, c.srcStep = 100000; }, false, false,
                   kResizeNoMemory},
        StatusCase{"TablesBeyondFourGibibytes",
                   [](CoreCall& c) { c.dstWidth = 1500000000, c.xFactor = 1e9; }, false, false,
                   kResizeNoMemory}),
    [](const auto& info) { return std::string(info.param.name); });

// A driver that keeps a copy of what the core handed it.
struct Recorded {
    int index = -1;
    DriverArgs args{};
    std::vector<int32_t> rowOffsets;
    std::vector<int32_t> colOffsets;
    std::vector<uint16_t> rowQ14;
    std::vector<uint16_t> colQ14;
    std::vector<float> rowFloats;
    std::vector<float> colFloats;
};
std::vector<Recorded> g_recorded;

template <int Index>
void RecordingDriver(const DriverArgs& args) {
    Recorded r;
    r.index = Index;
    r.args = args;
    r.rowOffsets.assign(args.rowOffsets, args.rowOffsets + args.dstHeight);
    r.colOffsets.assign(args.colOffsets, args.colOffsets + args.dstWidth);
    const bool fixedPoint = Index >= kLinearGroup && Index < kNearestGroup && Index % 3 != 2;
    if (fixedPoint) {
        const auto* row = static_cast<const uint16_t*>(args.rowWeights);
        const auto* col = static_cast<const uint16_t*>(args.colWeights);
        r.rowQ14.assign(row, row + args.dstHeight);
        r.colQ14.assign(col, col + 2 * args.dstWidth);
    } else if (Index < kNearestGroup) {
        const int taps = Index < kCubicGroup ? 6 : 1;
        const auto* row = static_cast<const float*>(args.rowWeights);
        const auto* col = static_cast<const float*>(args.colWeights);
        r.rowFloats.assign(row, row + taps * args.dstHeight);
        r.colFloats.assign(col, col + taps * args.dstWidth);
    }
    g_recorded.push_back(std::move(r));
}

template <std::size_t... I>
KernelTable RecordingTable(std::index_sequence<I...>) {
    return {&RecordingDriver<static_cast<int>(I)>...};
}

// Stands in for the Lanczos weights: six copies of each fraction.
void LanczosWeightsStandIn(const float* fractions, int32_t count, float* weights) {
    for (int32_t i = 0; i < 6 * count; ++i) {
        weights[i] = fractions[i / 6];
    }
}

class CoreTables : public ::testing::Test {
protected:
    void SetUp() override {
        g_recorded.clear();
        saved_ = ResizeBuildKitOf(ResizeBuild::V1);
        ResizeBuildKitOf(ResizeBuild::V1).kernels = RecordingTable(std::make_index_sequence<27>());
        ResizeBuildKitOf(ResizeBuild::V1).lanczosWeights = &LanczosWeightsStandIn;
    }
    void TearDown() override { ResizeBuildKitOf(ResizeBuild::V1) = saved_; }

    const Recorded& RunOnce(const CoreCall& call) {
        std::vector<uint8_t> src(1 << 16, 0);
        std::vector<uint8_t> dst(1 << 16, 0);
        EXPECT_EQ(call.Run(ResizeCore, src.data(), dst.data()), kResizeOk);
        EXPECT_EQ(g_recorded.size(), 1u);
        return g_recorded.back();
    }

private:
    ResizeBuildKit saved_{};
};

TEST_F(CoreTables, FullScreenDoublingReadsEverySourceColumnTwice) {
    CoreCall call;
    call.srcWidth = 640, call.srcHeight = 480, call.srcStep = 1920;
    call.roiWidth = 640, call.roiHeight = 480;
    call.dstWidth = 1280, call.dstHeight = 960, call.dstStep = 3840;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.index, kNearestGroup + 0);
    ASSERT_EQ(r.args.dstWidth, 1280);
    ASSERT_EQ(r.args.dstHeight, 960);
    for (int32_t j = 0; j < 1280; ++j) {
        ASSERT_EQ(r.colOffsets[j], 3 * static_cast<int32_t>((j + 0.5) / 2 + 1e-7)) << j;
    }
    EXPECT_EQ(r.colOffsets[0], 0);
    EXPECT_EQ(r.colOffsets[1], 0);
    EXPECT_EQ(r.colOffsets[2], 3);
    EXPECT_EQ(r.colOffsets[3], 3);
    EXPECT_EQ(r.rowOffsets[959], 479 * 1920);
}

TEST_F(CoreTables, ADestinationLargerThanTheFactorsAllowIsReduced) {
    CoreCall call;
    call.srcWidth = 640, call.srcHeight = 480, call.srcStep = 1920;
    call.roiWidth = 640, call.roiHeight = 480;
    call.dstWidth = 2000, call.dstHeight = 2000, call.dstStep = 6000;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.args.dstWidth, 1280);
    EXPECT_EQ(r.args.dstHeight, 960);
}

TEST_F(CoreTables, HalvingFivePixelsTakesTheSecondAndFourth) {
    CoreCall call;
    call.srcWidth = 5, call.srcHeight = 2, call.srcStep = 15;
    call.roiWidth = 5, call.roiHeight = 2;
    call.dstWidth = 4, call.xFactor = 0.5, call.yFactor = 1.0;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.colOffsets, (std::vector<int32_t>{3, 9}));
}

TEST_F(CoreTables, LinearDoublingOfFourPixels) {
    CoreCall call;
    call.srcWidth = 4, call.srcHeight = 4, call.srcStep = 12;
    call.roiWidth = 4, call.roiHeight = 4, call.dstWidth = 8, call.dstHeight = 8;
    call.interpolation = kInterLinear;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.index, kLinearGroup + 0);
    const auto q = static_cast<uint16_t>(16384.0 * 3 / 7 + 1e-7);
    EXPECT_EQ(q, 7021);
    EXPECT_EQ(r.colOffsets[0], 0);
    EXPECT_EQ(r.colQ14[0], 16384);
    EXPECT_EQ(r.colQ14[1], 0);
    EXPECT_EQ(r.colOffsets[1], 0);
    EXPECT_EQ(r.colQ14[2], 16384 - q);
    EXPECT_EQ(r.colQ14[3], q);
    EXPECT_EQ(r.colOffsets[7], 6);
    EXPECT_EQ(r.colQ14[14], 0);
    EXPECT_EQ(r.colQ14[15], 16384);
    EXPECT_EQ(r.rowOffsets[7], 2 * 12);
    EXPECT_EQ(r.rowQ14[7], 16384);
    EXPECT_EQ(r.rowQ14[1], q);
}

TEST_F(CoreTables, LinearFloatWeightsAreFractions) {
    CoreCall call;
    call.srcWidth = 4, call.srcHeight = 4, call.srcStep = 48;
    call.roiWidth = 4, call.roiHeight = 4, call.dstWidth = 8, call.dstHeight = 8, call.dstStep = 96;
    call.elementType = kElement32f;
    call.interpolation = kInterLinear;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.index, kLinearGroup + 2);
    EXPECT_EQ(r.args.srcStep, 12);
    EXPECT_FLOAT_EQ(r.colFloats[1], 3.0f / 7);
    EXPECT_EQ(r.colFloats[7], 1.0f);
    EXPECT_EQ(r.colOffsets[7], 6);
}

TEST_F(CoreTables, CubicBaseKeepsOneSampleBeforeAndTwoAfter) {
    CoreCall call;
    call.interpolation = kInterCubic;
    call.xFactor = 7.0 / 8 * 2 + 1.0 / 8;  // 15 columns: one destination column per half pixel
    const Recorded& r = RunOnce(call);
    ASSERT_EQ(r.args.dstWidth, 15);
    // Position 0 lies in the first interval: base 1, fraction -1.
    EXPECT_EQ(r.colOffsets[0], 3);
    EXPECT_EQ(r.colFloats[0], -1.0f);
    EXPECT_EQ(r.colOffsets[1], 3);
    EXPECT_FLOAT_EQ(r.colFloats[1], -0.5f);
    EXPECT_EQ(r.colOffsets[2], 3);
    EXPECT_FLOAT_EQ(r.colFloats[2], 0.0f);
    // Positions 6 and 6.5 lie in the last but one interval: base 5.
    EXPECT_EQ(r.colOffsets[12], 15);
    EXPECT_FLOAT_EQ(r.colFloats[12], 1.0f);
    EXPECT_EQ(r.colOffsets[13], 15);
    EXPECT_FLOAT_EQ(r.colFloats[13], 1.5f);
    // The last sample: base 5, fraction exactly 2.
    EXPECT_EQ(r.colOffsets[14], 15);
    EXPECT_EQ(r.colFloats[14], 2.0f);
}

TEST_F(CoreTables, StepsGiveTheSameTablesAsZoomFactors) {
    CoreCall zoom;
    zoom.dstWidth = 100, zoom.dstHeight = 100, zoom.dstStep = 300;
    CoreCall steps = zoom;
    steps.mode = 0, steps.xFactor = 0.5, steps.yFactor = 0.5;
    const Recorded a = RunOnce(zoom);
    g_recorded.clear();
    const Recorded& b = RunOnce(steps);
    EXPECT_EQ(b.args.dstWidth, 16);
    EXPECT_EQ(a.colOffsets, b.colOffsets);
    EXPECT_EQ(a.rowOffsets, b.rowOffsets);
}

TEST_F(CoreTables, LinearStepsKeepTheLastSampleInside) {
    CoreCall call;
    call.mode = 0, call.xFactor = 0.5, call.yFactor = 3.0;
    call.interpolation = kInterLinear;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.args.dstWidth, 15);
    EXPECT_EQ(r.args.dstHeight, 3);
    EXPECT_EQ(r.colOffsets[14], 6 * 3);
    EXPECT_EQ(r.colQ14[29], 16384);
}

TEST_F(CoreTables, ATinyFactorReadsTheLastPixelInsteadOfBeyondIt) {
    CoreCall call;
    call.srcWidth = 4, call.srcHeight = 4, call.srcStep = 12;
    call.roiWidth = 4, call.roiHeight = 4;
    call.xFactor = 0.1, call.yFactor = 0.1;
    const Recorded& r = RunOnce(call);
    ASSERT_EQ(r.args.dstWidth, 1);
    EXPECT_EQ(r.colOffsets[0], 9);
    EXPECT_EQ(r.rowOffsets[0], 36);
}

TEST_F(CoreTables, ShiftsCannotLeaveTheImage) {
    CoreCall call;
    call.roiX = 2, call.roiWidth = 4;
    call.xShift = -5.0, call.yShift = 100.0;
    call.interpolation = kInterLinear;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.colOffsets[0], -2 * 3);
    EXPECT_EQ(r.colQ14[0], 16384);
    EXPECT_EQ(r.rowOffsets[0], 6 * 24);
    EXPECT_EQ(r.rowQ14[0], 16384);
}

TEST_F(CoreTables, ARectangleOnTheLastRowPairsItWithTheRowAbove) {
    CoreCall call;
    call.roiY = 7, call.roiHeight = 1;
    call.interpolation = kInterLinear;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.args.dstHeight, 2);
    EXPECT_EQ(r.rowOffsets, (std::vector<int32_t>{-24, -24}));
    EXPECT_EQ(r.rowQ14, (std::vector<uint16_t>{16384, 16384}));
}

TEST_F(CoreTables, ARectangleBeyondTheImageIsClipped) {
    CoreCall call;
    call.roiX = 2, call.roiY = 5, call.roiWidth = 100, call.roiHeight = 100;
    call.xFactor = 1.0, call.yFactor = 1.0;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.args.dstWidth, 6);
    EXPECT_EQ(r.args.dstHeight, 3);
}

struct LoweringCase {
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t interpolation;
    int group;
};

class CoreLowering : public CoreTables, public ::testing::WithParamInterface<LoweringCase> {};

TEST_P(CoreLowering, SmallSourcesUseASimplerInterpolation) {
    CoreCall call;
    call.srcWidth = GetParam().srcWidth, call.srcHeight = GetParam().srcHeight;
    call.srcStep = 3 * call.srcWidth;
    call.interpolation = GetParam().interpolation;
    EXPECT_EQ(RunOnce(call).index, GetParam().group);
}

INSTANTIATE_TEST_SUITE_P(Cases, CoreLowering,
                         ::testing::Values(LoweringCase{8, 3, kInterCubic, kLinearGroup},
                                           LoweringCase{4, 4, kInterCubic, kCubicGroup},
                                           LoweringCase{5, 8, kInterLanczos, kCubicGroup},
                                           LoweringCase{8, 3, kInterLanczos, kLinearGroup},
                                           LoweringCase{6, 6, kInterLanczos, kLanczosGroup},
                                           LoweringCase{1, 8, kInterCubic, kNearestGroup},
                                           LoweringCase{8, 1, kInterLinear, kNearestGroup},
                                           LoweringCase{1, 8, kInterLanczos, kNearestGroup},
                                           LoweringCase{2, 2, kInterLinear, kLinearGroup}));

TEST_F(CoreTables, LanczosGetsSixWeightsPerSampleAndItsExtent) {
    CoreCall call;
    call.roiX = 1, call.roiY = 2, call.roiWidth = 5, call.roiHeight = 4;
    call.interpolation = kInterLanczos;
    const Recorded& r = RunOnce(call);
    EXPECT_EQ(r.index, kLanczosGroup);
    EXPECT_EQ(r.args.roiX, 1);
    EXPECT_EQ(r.args.roiY, 2);
    EXPECT_EQ(r.args.availWidth, 7);
    EXPECT_EQ(r.args.availHeight, 6);
    EXPECT_EQ(r.args.upscale, 1);
    ASSERT_EQ(r.colFloats.size(), 6u * r.args.dstWidth);
    for (void* buffer : r.args.buffers) {
        EXPECT_NE(buffer, nullptr);
    }
}

struct UpscaleCase {
    int32_t mode;
    double yFactor;
    int32_t flag;
};

class LanczosUpscale : public CoreTables, public ::testing::WithParamInterface<UpscaleCase> {};

TEST_P(LanczosUpscale, FlagFollowsTheVerticalFactor) {
    CoreCall call;
    call.interpolation = kInterLanczos, call.mode = GetParam().mode;
    call.yFactor = GetParam().yFactor;
    EXPECT_EQ(RunOnce(call).args.upscale, GetParam().flag);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanczosUpscale,
                         ::testing::Values(UpscaleCase{1, 1.0, 1}, UpscaleCase{1, 0.9, 0},
                                           UpscaleCase{0, 0.9, 1}, UpscaleCase{0, 1.0, 0}));

TEST(CoreLanczos, WithoutItsWeightsLanczosIsRefused) {
    CoreCall call;
    call.interpolation = kInterLanczos;
    const std::vector<uint8_t> src(8 * 8 * 3, 1);
    std::vector<uint8_t> dst(16 * 16 * 3, 0xEE);
    for (ResizeBuild build : test::kAllBuilds) {
        const ResizeBuildKit saved = ResizeBuildKitOf(build);
        ResizeBuildKitOf(build).lanczosWeights = nullptr;
        EXPECT_EQ(call.Run(test::AllCores()[static_cast<int>(build) - 1], src.data(), dst.data()),
                  kResizeInterpolationError);
        ResizeBuildKitOf(build) = saved;
    }
    EXPECT_EQ(dst, std::vector<uint8_t>(16 * 16 * 3, 0xEE));
}

TEST(CorePlanar, AMissingPlaneIsANullPointer) {
    std::vector<uint8_t> plane(64, 1);
    std::vector<uint8_t> out(256, 0);
    const void* src[3] = {plane.data(), nullptr, plane.data()};
    void* dst[3] = {out.data(), out.data(), out.data()};
    CoreCall call;
    call.planar = 1, call.srcStep = 8, call.dstStep = 16;
    EXPECT_EQ(call.Run(ResizeCore, src, dst), kResizeNullPointer);
}

// The full-screen call of the frame painter, through the entry.
TEST(FullScreen, DoublingRepeatsEveryPixelTwice) {
    const std::vector<uint8_t> src = test::RandomImage(640 * 480 * 3, kElement8u, 3);
    std::vector<uint8_t> dst(2000 * 2000 * 3, 0xEE);
    ASSERT_EQ(FrameResize_8u_C3R(src.data(), {640, 480}, 1920, {0, 0, 640, 480}, dst.data(), 6000,
                                 {2000, 2000}, 2.0, 2.0, kInterNearest),
              kResizeOk);
    for (int32_t i = 0; i < 2000; ++i) {
        for (int32_t j = 0; j < 2000; ++j) {
            for (int32_t c = 0; c < 3; ++c) {
                const uint8_t expected =
                    i < 960 && j < 1280 ? src[(i / 2) * 1920 + (j / 2) * 3 + c] : 0xEE;
                ASSERT_EQ(dst[i * 6000 + j * 3 + c], expected) << i << "," << j;
            }
        }
    }
}

}  // namespace
}  // namespace resize
