#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "resize/simd_level.h"
#include "resize/super_core.h"
#include "resize_test_support.h"

namespace resize {
namespace {

using test::Layout;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::array<ResizeSuperCoreFn, 4>& AllSuperCores() {
    static const std::array<ResizeSuperCoreFn, 4> cores = {ResizeSuperCore, ResizeSuperCoreV2,
                                                           ResizeSuperCoreV3, ResizeSuperCoreV4};
    return cores;
}

// The arguments of one driver call; the starting point is a valid halving of an 8 x 8
// three-channel 8u image into 4 x 4.
struct SuperRequest {
    int32_t srcWidth = 8;
    int32_t srcHeight = 8;
    int32_t srcStep = 24;
    int32_t roiX = 0;
    int32_t roiY = 0;
    int32_t roiWidth = 8;
    int32_t roiHeight = 8;
    int32_t dstStep = 12;
    int32_t dstWidth = 4;
    int32_t dstHeight = 4;
    double xFactor = 0.5;
    double yFactor = 0.5;
    int32_t pixelStride = 3;
    int32_t channels = 3;
    int32_t elementType = kElement8u;
    int32_t planar = 0;

    int32_t Run(ResizeSuperCoreFn core, const void* src, void* dst) const {
        return core(src, srcWidth, srcHeight, srcStep, roiX, roiY, roiWidth, roiHeight, dst,
                    dstStep, dstWidth, dstHeight, xFactor, yFactor, pixelStride, channels,
                    elementType, planar, 1);
    }
};

// Reduces a one-channel image of T (rows packed) with the given driver; the destination
// is asked as large as the source and starts out as `fill`.
template <class T>
std::vector<T> ReducePlane(const std::vector<T>& src, int32_t width, int32_t height, double xFactor,
                           double yFactor, ResizeSuperCoreFn core = ResizeSuperCore,
                           T fill = T(0)) {
    std::vector<T> dst(src.size(), fill);
    SuperRequest r;
    r.srcWidth = r.roiWidth = r.dstWidth = width;
    r.srcHeight = r.roiHeight = r.dstHeight = height;
    r.srcStep = r.dstStep = width * int32_t(sizeof(T));
    r.xFactor = xFactor;
    r.yFactor = yFactor;
    r.pixelStride = r.channels = 1;
    r.elementType = sizeof(T) == 1             ? kElement8u
                    : std::is_same_v<T, float> ? kElement32f
                                               : kElement16u;
    EXPECT_EQ(r.Run(core, src.data(), dst.data()), kResizeOk);
    return dst;
}

struct StatusCase {
    const char* name;
    void (*change)(SuperRequest&);
    bool nullSrc;
    bool nullDst;
    int32_t status;
};

class SuperStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(SuperStatus, RefusedCallsLeaveTheDestinationAlone) {
    const StatusCase& c = GetParam();
    SuperRequest request;
    c.change(request);
    std::vector<uint8_t> src(8 * 8 * 4 * 4, 7);
    for (ResizeSuperCoreFn core : AllSuperCores()) {
        std::vector<uint8_t> dst(8 * 8 * 4 * 4, 0xEE);
        EXPECT_EQ(
            request.Run(core, c.nullSrc ? nullptr : src.data(), c.nullDst ? nullptr : dst.data()),
            c.status);
        EXPECT_EQ(dst, std::vector<uint8_t>(dst.size(), 0xEE));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SuperStatus,
    ::testing::Values(
        StatusCase{"NullSource", [](SuperRequest& r) { r.srcWidth = 0; }, true, false,
                   kResizeNullPointer},
        StatusCase{"NullDestination", [](SuperRequest& r) { r.srcStep = 0; }, false, true,
                   kResizeNullPointer},
        StatusCase{"SourceWidth", [](SuperRequest& r) { r.srcWidth = 0, r.srcStep = 0; }, false,
                   false, kResizeSizeError},
        StatusCase{"SourceStep", [](SuperRequest& r) { r.srcStep = 0, r.roiX = -1; }, false, false,
                   kResizeStepError},
        StatusCase{"DestinationStep", [](SuperRequest& r) { r.dstStep = -3; }, false, false,
                   kResizeStepError},
        StatusCase{"NegativeOrigin", [](SuperRequest& r) { r.roiY = -1, r.roiX = 8; }, false, false,
                   kResizeSizeError},
        StatusCase{"EmptyRectangle", [](SuperRequest& r) { r.roiWidth = 0; }, false, false,
                   kResizeSizeError},
        StatusCase{"OriginRightOfImage", [](SuperRequest& r) { r.roiX = 8, r.dstWidth = 0; }, false,
                   false, kResizeOriginOutside},
        StatusCase{"OriginBelowImage", [](SuperRequest& r) { r.roiY = 9; }, false, false,
                   kResizeOriginOutside},
        StatusCase{"DestinationHeight", [](SuperRequest& r) { r.dstHeight = 0, r.xFactor = 0; },
                   false, false, kResizeSizeError},
        StatusCase{"ZeroFactor", [](SuperRequest& r) { r.xFactor = 0; }, false, false,
                   kResizeFactorError},
        StatusCase{"NegativeFactor", [](SuperRequest& r) { r.yFactor = -0.5; }, false, false,
                   kResizeFactorError},
        StatusCase{"FactorNotANumber", [](SuperRequest& r) { r.yFactor = kNaN; }, false, false,
                   kResizeFactorError},
        StatusCase{"EnlargingFactor", [](SuperRequest& r) { r.xFactor = 1.5; }, false, false,
                   kResizeFactorError},
        StatusCase{"UnknownElementType", [](SuperRequest& r) { r.elementType = 3; }, false, false,
                   kResizeSizeError},
        StatusCase{"ThreeChannelsInTwoElements", [](SuperRequest& r) { r.pixelStride = 2; }, false,
                   false, kResizeSizeError},
        StatusCase{"OneChannelInWidePixels", [](SuperRequest& r) { r.channels = 1; }, false, false,
                   kResizeSizeError},
        StatusCase{"StepNotWholeElements",
                   [](SuperRequest& r) { r.elementType = kElement16u, r.srcStep = 49; }, false,
                   false, kResizeStepError},
        // The accumulator row of 2^28 four-channel pixels does not fit a 32-bit request; the
        // refusal comes before any source row is read.
        StatusCase{"AccumulatorBeyondMemory",
                   [](SuperRequest& r) {
                       r.pixelStride = r.channels = 4;
                       r.srcWidth = r.roiWidth = 1 << 28;
                       r.srcStep = r.dstStep = 1 << 30;
                       r.dstWidth = 1 << 27;
                       r.srcHeight = r.roiHeight = 2;
                       r.dstHeight = 1;
                   },
                   false, false, kResizeNoMemory}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SuperPlanes, NullPlaneIsRefused) {
    std::vector<uint8_t> plane(64, 1);
    std::vector<uint8_t> out(16, 0xEE);
    const void* src[3] = {plane.data(), nullptr, plane.data()};
    void* dst[3] = {out.data(), out.data(), out.data()};
    SuperRequest r;
    r.srcStep = 8;
    r.dstStep = 4;
    r.pixelStride = 0;
    r.planar = 1;
    EXPECT_EQ(r.Run(ResizeSuperCore, src, dst), kResizeNullPointer);
    EXPECT_EQ(out, std::vector<uint8_t>(16, 0xEE));
}

// Means of 2 x 2 blocks round halves up: blocks of full scale, 0 0 0 1, 1 1 0 0, 1 1 1 0.
TEST(SuperExamples, HalvingRoundsBlockMeans) {
    const std::vector<uint8_t> bytes = {255, 255, 0, 0, 1, 1, 1, 1,  //
                                        255, 255, 0, 1, 0, 0, 1, 0};
    EXPECT_EQ(ReducePlane(bytes, 8, 2, 0.5, 0.5),
              (std::vector<uint8_t>{255, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const std::vector<uint16_t> words = {65535, 65535, 0, 0, 1, 1,  //
                                         65535, 65535, 0, 1, 2, 2};
    EXPECT_EQ(ReducePlane(words, 6, 2, 0.5, 0.5),
              (std::vector<uint16_t>{65535, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SuperExamples, StepOfOneAndAHalfSplitsSharedColumns) {
    const std::vector<uint8_t> bytes = {10, 20, 30, 40, 50, 60};
    EXPECT_EQ(ReducePlane(bytes, 6, 1, 1 / 1.5, 1.0), (std::vector<uint8_t>{13, 27, 43, 57, 0, 0}));
    const std::vector<uint16_t> words = {10, 20, 30, 40, 50, 60};
    EXPECT_EQ(ReducePlane(words, 6, 1, 1 / 1.5, 1.0),
              (std::vector<uint16_t>{13, 27, 43, 57, 0, 0}));
    const std::vector<float> floats = {0.1f, 0.7f, 1.3f, 2.9f, 5.5f, 7.25f};
    const double norm = 1 / 1.5;
    const auto cell = [norm](double sum) { return float(double(float(sum)) * norm); };
    EXPECT_EQ(ReducePlane(floats, 6, 1, 1 / 1.5, 1.0),
              (std::vector<float>{cell(0.1f + 0.5 * 0.7f), cell(0.5 * 0.7f + 1.3f),
                                  cell(2.9f + 0.5 * 5.5f), cell(0.5 * 5.5f + 7.25f), 0, 0}));
}

TEST(SuperExamples, FloatBlockSumsColumnsFirst) {
    const float a = 0.1f, b = 0.2f, c = 0.3f, d = 1e8f;
    const std::vector<float> block = {a, b, c, d};
    const float expected = float(double(float(double(float(a + c)) + double(float(b + d)))) * 0.25);
    EXPECT_EQ(ReducePlane(block, 2, 2, 0.5, 0.5)[0], expected);
}

TEST(SuperExamples, RowStepOfTwoAndAHalf) {
    const std::vector<float> column = {1, 2, 4, 8, 16, 32, 64, 128};
    const std::vector<float> out = ReducePlane(column, 1, 8, 1.0, 0.4);
    EXPECT_FLOAT_EQ(out[0], (1 + 2 + 0.5 * 4) * 0.4);
    EXPECT_FLOAT_EQ(out[1], (0.5 * 4 + 8 + 16) * 0.4);
    EXPECT_FLOAT_EQ(out[2], (32 + 64 + 0.5 * 128) * 0.4);
    EXPECT_EQ(out[3], 0.0f);  // three rows only: 8 x 0.4
}

TEST(SuperExamples, FactorOneCopiesTheRectangle) {
    const std::vector<float> floats = {-0.0f, 1.5f, -7.25f, 1e30f};
    const std::vector<float> out = ReducePlane(floats, 2, 2, 1.0, 1.0);
    EXPECT_EQ(out, floats);
    EXPECT_FALSE(std::signbit(out[0]));  // the sums start from +0.0
    const std::vector<uint16_t> words = {1, 65535, 300, 0, 7, 12};
    EXPECT_EQ(ReducePlane(words, 3, 2, 1.0, 1.0), words);
}

// A rectangle smaller than one cell still gives one pixel: the mean of the part it covers.
TEST(SuperExamples, RectangleSmallerThanACellGivesTheMeanOfWhatItCovers) {
    EXPECT_EQ(ReducePlane(std::vector<uint8_t>{10, 30}, 2, 1, 0.1, 1.0)[0], 20);
    EXPECT_EQ(ReducePlane(std::vector<uint16_t>{10, 30, 50, 70}, 2, 2, 1e-9, 1e-300)[0], 40);
    EXPECT_FLOAT_EQ(ReducePlane(std::vector<float>{1, 2, 3}, 1, 3, 0.5, 0.2)[0], 2.0f);
}

TEST(SuperExamples, DestinationIsCutToTheCellsOfTheRectangle) {
    // 100 columns at 0.3 make 30 cells, whatever the destination offers.
    std::vector<uint8_t> src(100, 90);
    std::vector<uint8_t> dst(40, 0xEE);
    SuperRequest r;
    r.srcWidth = r.roiWidth = 100;
    r.srcHeight = r.roiHeight = 1;
    r.srcStep = 100;
    r.dstWidth = 40;
    r.dstHeight = 1;
    r.dstStep = 40;
    r.xFactor = 0.3;
    r.yFactor = 1.0;
    r.pixelStride = r.channels = 1;
    ASSERT_EQ(r.Run(ResizeSuperCore, src.data(), dst.data()), kResizeOk);
    EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + 30), std::vector<uint8_t>(30, 90));
    EXPECT_EQ(std::vector<uint8_t>(dst.begin() + 30, dst.end()), std::vector<uint8_t>(10, 0xEE));
    // A rectangle reaching past the right edge is clipped first: 10 columns from x = 90, 3 cells.
    r.roiX = 90;
    std::fill(src.begin() + 90, src.end(), 30);
    ASSERT_EQ(r.Run(ResizeSuperCore, src.data(), dst.data()), kResizeOk);
    EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + 4),
              (std::vector<uint8_t>{30, 30, 30, 90}));
}

// Sums that pass 32 bits, and float sums whose rounding lifts a full-scale mean past the top,
// still give full scale.
TEST(SuperExamples, LargeCellsOfFullScaleStayFullScale) {
    const std::vector<uint16_t> block(300 * 300, 65535);
    const std::vector<uint16_t> column(70002, 65535);
    const std::vector<uint8_t> bytes(70002, 255);
    for (ResizeSuperCoreFn core : AllSuperCores()) {
        EXPECT_EQ(ReducePlane(block, 300, 300, 1.0 / 300, 1.0 / 300, core)[0], 65535);
        EXPECT_EQ(ReducePlane(column, 1, 70002, 1.0, 1.0 / 70002, core)[0], 65535);
        EXPECT_EQ(ReducePlane(column, 1, 70002, 1.0, 1.0 / 70000.5, core)[0], 65535);
        EXPECT_EQ(ReducePlane(bytes, 1, 70002, 1.0, 1.0 / 70000.5, core)[0], 255);
    }
}

// A picture in the given layout with the driver's own steps; the planes of planar layouts.
struct SuperImages {
    test::Picture src;
    test::Picture dst;

    int32_t Run(ResizeSuperCoreFn core, const Layout& layout, int32_t elementType, double xFactor,
                double yFactor) {
        std::vector<const void*> srcPlanes;
        std::vector<void*> dstPlanes;
        for (std::size_t p = 0; p < src.planes.size(); ++p) {
            srcPlanes.push_back(src.planes[p].data());
            dstPlanes.push_back(dst.planes[p].data());
        }
        const void* s = layout.planar ? static_cast<const void*>(srcPlanes.data()) : srcPlanes[0];
        void* d = layout.planar ? static_cast<void*>(dstPlanes.data()) : dstPlanes[0];
        return core(s, src.width, src.height, src.step, 0, 0, src.width, src.height, d, dst.step,
                    dst.width, dst.height, xFactor, yFactor, layout.pixelStride, layout.channels,
                    elementType, layout.planar, 1);
    }
};

using LayoutCase = std::tuple<int32_t, Layout>;

class SuperLayouts : public ::testing::TestWithParam<LayoutCase> {};

std::string LayoutCaseName(const ::testing::TestParamInfo<LayoutCase>& info) {
    return std::string(test::ElementName(std::get<0>(info.param))) + std::get<1>(info.param).name;
}

constexpr std::array<std::pair<double, double>, 8> kReductions = {{{1.0, 1.0},
                                                                   {0.5, 0.5},
                                                                   {1 / 3.0, 1 / 4.0},
                                                                   {1 / 1.5, 1.0},
                                                                   {1.0, 0.4},
                                                                   {0.3, 0.7},
                                                                   {1.0 / 93, 1.0 / 93},
                                                                   {0.001, 0.02}}};

double ElementAt(const std::vector<uint8_t>& plane, int32_t elementType, std::size_t index) {
    if (elementType == kElement8u) {
        return plane[index];
    }
    if (elementType == kElement16u) {
        uint16_t v;
        std::memcpy(&v, &plane[index * 2], 2);
        return v;
    }
    float v;
    std::memcpy(&v, &plane[index * 4], 4);
    return v;
}

void FillConstant(test::Picture& picture, int32_t elementType) {
    for (auto& plane : picture.planes) {
        for (std::size_t i = 0; i < plane.size(); i += test::ElementBytes(elementType)) {
            if (elementType == kElement8u) {
                plane[i] = 201;
            } else if (elementType == kElement16u) {
                const uint16_t v = 51234;
                std::memcpy(&plane[i], &v, 2);
            } else {
                const float v = 3.1f;
                std::memcpy(&plane[i], &v, 4);
            }
        }
    }
}

// Every build, every mode: a constant picture stays constant, and the fourth element of AC4
// pixels keeps what the destination held.
TEST_P(SuperLayouts, ConstantPictureStaysConstant) {
    const auto [elementType, layout] = GetParam();
    const double constant = elementType == kElement8u    ? 201
                            : elementType == kElement16u ? 51234
                                                         : 3.1f;
    for (const auto& [xFactor, yFactor] : kReductions) {
        SuperImages images;
        images.src = test::Picture(layout, elementType, 279, 190, 0);
        FillConstant(images.src, elementType);
        for (ResizeSuperCoreFn core : AllSuperCores()) {
            images.dst = test::Picture(layout, elementType, 279, 190, 0xEE);
            const test::Picture untouched = images.dst;
            ASSERT_EQ(images.Run(core, layout, elementType, xFactor, yFactor), kResizeOk);
            const int32_t width = test::ReducedSize(279, 279, xFactor);
            const int32_t height = test::ReducedSize(190, 190, yFactor);
            const int32_t stride = layout.ElementsPerPixel();
            for (std::size_t p = 0; p < images.dst.planes.size(); ++p) {
                const auto& plane = images.dst.planes[p];
                for (int32_t y = 0; y < 190; ++y) {
                    for (int32_t x = 0; x < 279 * stride; ++x) {
                        const std::size_t i = std::size_t(y) * 279 * stride + x;
                        const bool written =
                            y < height && x / stride < width && x % stride < layout.channels;
                        if (written) {
                            ASSERT_NEAR(ElementAt(plane, elementType, i), constant, constant * 1e-6)
                                << xFactor << " " << yFactor << " at " << x << "," << y;
                        } else {
                            ASSERT_EQ(ElementAt(plane, elementType, i),
                                      ElementAt(untouched.planes[p], elementType, i))
                                << xFactor << " " << yFactor << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

// Planes go through the one-channel kernel one after the other.
class SuperPlanar : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SuperPlanar, PlanesAreReducedEachAlone) {
    const auto [elementType, layout] = GetParam();
    const Layout c1 = test::kLayouts[0];
    SuperImages planar;
    planar.src = test::RandomPicture(layout, elementType, 23, 17, 11);
    planar.dst = test::Picture(layout, elementType, 23, 17, 0);
    ASSERT_EQ(planar.Run(ResizeSuperCore, layout, elementType, 0.3, 0.45), kResizeOk);
    for (std::size_t p = 0; p < planar.src.planes.size(); ++p) {
        SuperImages one;
        one.src = test::Picture(c1, elementType, 23, 17, 0);
        one.src.planes[0] = planar.src.planes[p];
        one.dst = test::Picture(c1, elementType, 23, 17, 0);
        ASSERT_EQ(one.Run(ResizeSuperCore, c1, elementType, 0.3, 0.45), kResizeOk);
        EXPECT_EQ(one.dst.planes[0], planar.dst.planes[p]) << "plane " << p;
    }
}

// Builds V2 to V4 give V1's results, at both vector levels of V3 and V4, for every width from 1
// to 40 and a few wider ones (the vector strips, cell groups and leftovers); the one exception is
// the float one-channel whole-step case of V3 and V4 with three rows or more per cell, whose
// leftover columns are summed in double precision.
class SuperBuilds : public ::testing::TestWithParam<LayoutCase> {
protected:
    void TearDown() override { LimitSimdLevel(SimdLevel::kAvx2); }
};

TEST_P(SuperBuilds, Agree) {
    const int32_t elementType = std::get<0>(GetParam());
    const Layout layout = std::get<1>(GetParam());
    constexpr std::array<std::pair<double, double>, 7> kFactors = {{{1.0, 1.0},
                                                                    {0.5, 0.5},
                                                                    {1 / 3.0, 1 / 3.0},
                                                                    {0.25, 0.5},
                                                                    {0.5, 1 / 1.5},
                                                                    {0.4, 0.25},
                                                                    {1 / 2.75, 1 / 1.875}}};
    std::vector<int32_t> widths;
    for (int32_t width = 1; width <= 40; ++width) {
        widths.push_back(width);
    }
    widths.insert(widths.end(), {67, 133, 257});
    // Tall enough that the 16-bit halving path takes all but the narrowest one-channel images.
    constexpr int32_t kHeight = 30;
    for (const int32_t width : widths) {
        for (const auto& [xFactor, yFactor] : kFactors) {
            SuperImages reference;
            reference.src = test::RandomPicture(layout, elementType, width, kHeight, width);
            reference.dst = test::Picture(layout, elementType, width, kHeight, 0);
            ASSERT_EQ(reference.Run(ResizeSuperCore, layout, elementType, xFactor, yFactor),
                      kResizeOk);
            const bool lastBitsMayDiffer = elementType == kElement32f &&
                                           (layout.channels == 1 || layout.planar) &&
                                           yFactor <= 1 / 3.0;
            for (std::size_t build = 1; build < 4; ++build) {
                for (SimdLevel level : {SimdLevel::kAvx2, SimdLevel::kSse2}) {
                    LimitSimdLevel(level);
                    SuperImages other = reference;
                    other.dst = test::Picture(layout, elementType, width, kHeight, 0);
                    ASSERT_EQ(
                        other.Run(AllSuperCores()[build], layout, elementType, xFactor, yFactor),
                        kResizeOk);
                    const bool tolerant = lastBitsMayDiffer && build >= 2;
                    for (std::size_t p = 0; p < other.dst.planes.size(); ++p) {
                        if (!tolerant) {
                            ASSERT_EQ(other.dst.planes[p], reference.dst.planes[p])
                                << "build " << build + 1 << " width " << width << " factors "
                                << xFactor << " " << yFactor;
                            continue;
                        }
                        for (std::size_t i = 0; i < other.dst.planes[p].size() / 4; ++i) {
                            const double expected =
                                ElementAt(reference.dst.planes[p], kElement32f, i);
                            ASSERT_NEAR(ElementAt(other.dst.planes[p], kElement32f, i), expected,
                                        std::abs(expected) * 1e-6);
                        }
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, SuperPlanar,
                         ::testing::Combine(::testing::ValuesIn(test::kElementTypes),
                                            ::testing::Values(test::kLayouts[4],
                                                              test::kLayouts[5])),
                         LayoutCaseName);

INSTANTIATE_TEST_SUITE_P(All, SuperLayouts,
                         ::testing::Combine(::testing::ValuesIn(test::kElementTypes),
                                            ::testing::ValuesIn(test::kLayouts)),
                         LayoutCaseName);

INSTANTIATE_TEST_SUITE_P(All, SuperBuilds,
                         ::testing::Combine(::testing::ValuesIn(test::kElementTypes),
                                            ::testing::ValuesIn(test::kLayouts)),
                         LayoutCaseName);

// Source and destination sit flush against inaccessible pages: whatever the factors and the
// rectangle, no kernel of any build reads or writes outside the two images.
class SuperGuardPages : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SuperGuardPages, NoAccessOutsideEitherImage) {
    // Named copies: the lambda below captures them, which not every compiler allows for
    // structured bindings.
    const int32_t elementType = std::get<0>(GetParam());
    const Layout layout = std::get<1>(GetParam());
    constexpr std::array<test::GuardGeometry, 5> kGeometries = {{
        {4, 4, 0, 0, 4, 4},
        {7, 5, 1, 1, 5, 3},
        {7, 5, 6, 4, 1, 1},
        {37, 6, 0, 0, 37, 6},
        {41, 9, 3, 2, 50, 50},
    }};
    constexpr std::array<std::pair<double, double>, 7> kFactors = {{{1e-9, 1e-300},
                                                                    {0.37, 0.26},
                                                                    {1.0, 1.0},
                                                                    {0.999999, 0.55},
                                                                    {1.0 / 93, 1 / 1.5},
                                                                    {1 / 1.5, 0.9999999999},
                                                                    {0.5, 0.5}}};
    test::ForEachGuardedCall(
        layout, elementType, kGeometries, kFactors,
        [&, elementType = elementType, layout = layout](const auto& c) {
            for (ResizeSuperCoreFn core : AllSuperCores()) {
                ASSERT_EQ(core(c.src, c.g.srcWidth, c.g.srcHeight, c.srcStep, c.g.roiX, c.g.roiY,
                               c.g.roiWidth, c.g.roiHeight, c.dst, c.dstStep, c.dstWidth,
                               c.dstHeight, c.xFactor, c.yFactor, layout.pixelStride,
                               layout.channels, elementType, layout.planar, 1),
                          kResizeOk);
            }
        });
}

INSTANTIATE_TEST_SUITE_P(All, SuperGuardPages,
                         ::testing::Combine(::testing::ValuesIn(test::kElementTypes),
                                            ::testing::ValuesIn(test::kLayouts)),
                         LayoutCaseName);

}  // namespace
}  // namespace resize
