// The six-tap Lanczos mode: its weights, its row and column filters in every build, and the
// window of filtered rows that its drivers slide down the image.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "resize/lanczos_drivers.h"
#include "resize/lanczos_kernels.h"
#include "resize/lanczos_weights.h"
#include "resize/simd_level.h"
#include "resize_test_support.h"

namespace resize {
namespace {

using V1Lanczos = ScalarLanczosKernels<LanczosRules<ResizeBuild::V1>>;
using V2Lanczos = ScalarLanczosKernels<LanczosRules<ResizeBuild::V2>>;
using V3Lanczos = ScalarLanczosKernels<LanczosRules<ResizeBuild::V3>>;

using Six = std::array<float, 6>;

template <class Real>
Six WeightsAt(float t) {
    Six w;
    BuildLanczos3Weights<Real>(&t, 1, w.data());
    return w;
}

TEST(LanczosWeights, TableHoldsTheKernelWithExactZeros) {
    const auto& table = Lanczos3Table();
    for (int i = 1; i <= 300; ++i) {
        const double x = std::numbers::pi * i / 100.0;
        const double kernel = std::sin(x) / x * std::sin(x / 3.0) / (x / 3.0);
        ASSERT_NEAR(table[i], kernel, 1e-7) << i;
    }
    const std::array<std::pair<int, float>, 8> listed = {{{1, 0.99981719f},
                                                          {25, 0.89006704f},
                                                          {50, 0.60792708f},
                                                          {75, 0.27018979f},
                                                          {150, -0.13509491f},
                                                          {225, 0.03002109f},
                                                          {250, 0.02431709f},
                                                          {299, 0.00001118f}}};
    for (const auto& [i, value] : listed) {
        EXPECT_NEAR(table[i], value, 1e-7) << i;
    }
    EXPECT_EQ(table[0], 1.0f);
    EXPECT_EQ(table[100], 0.0f);
    EXPECT_TRUE(std::signbit(table[100]));
    EXPECT_EQ(table[200], 0.0f);
    EXPECT_EQ(table[300], 0.0f);
    EXPECT_EQ(table[301], 0.0f);
}

struct WeightCase {
    float t;
    std::array<int, 6> entries;  // the table entries the six weights are, exactly
};

// At fractions on the table's grid both precisions give the table's entries unchanged.
TEST(LanczosWeights, GridFractionsGiveTableEntriesInBothPrecisions) {
    const auto& table = Lanczos3Table();
    const std::array<WeightCase, 4> cases = {{{0.0f, {200, 100, 0, 100, 200, 300}},
                                              {0.25f, {225, 125, 25, 75, 175, 275}},
                                              {0.5f, {250, 150, 50, 50, 150, 250}},
                                              {0.75f, {275, 175, 75, 25, 125, 225}}}};
    for (const WeightCase& c : cases) {
        for (const Six& w : {WeightsAt<double>(c.t), WeightsAt<float>(c.t)}) {
            for (int k = 0; k < 6; ++k) {
                EXPECT_EQ(w[k], table[c.entries[k]]) << c.t << " tap " << k;
            }
        }
    }
    const Six half = WeightsAt<double>(0.5f);
    EXPECT_NEAR(half[0] + half[1] + half[2] + half[3] + half[4] + half[5], 0.99430, 1e-5);
    EXPECT_EQ(WeightsAt<float>(0.0f), (Six{0, 0, 1, 0, 0, 0}));
}

TEST(LanczosWeights, OddFractionsAgreeBetweenPrecisionsAndStayInRange) {
    std::mt19937 random(3);
    for (int n = 0; n < 2000; ++n) {
        const float t = std::uniform_real_distribution<float>(-1e-7f, 1.0f)(random);
        const Six a = WeightsAt<double>(t);
        const Six b = WeightsAt<float>(t);
        for (int k = 0; k < 6; ++k) {
            ASSERT_NEAR(a[k], b[k], 1e-6) << t;
            ASSERT_LE(std::fabs(a[k]), 1.0f);
        }
    }
    // Just below zero, as the core's bias can leave a fraction: close to the weights of 0.
    const Six nearZero = WeightsAt<float>(-1e-7f);
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(nearZero[k], k == 2 ? 1.0f : 0.0f, 1e-5);
    }
}

TEST(LanczosWeights, NothingForNoPositionsAndNoWeightForNotANumber) {
    Six w;
    w.fill(7.0f);
    const float t = std::numeric_limits<float>::quiet_NaN();
    BuildLanczos3Weights<double>(&t, 0, w.data());
    BuildLanczos3Weights<float>(&t, -3, w.data());
    EXPECT_EQ(w, (Six{7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(WeightsAt<double>(t), (Six{}));
    EXPECT_EQ(WeightsAt<float>(t), (Six{}));
}

// One pixel of a flat area through a row filter and a column filter: the row buffer's value and
// the destination's.
template <class Kernels, class T>
std::pair<float, double> FlatPixel(double value, const Six& xWeights, const Six& yWeights) {
    std::array<T, 12> row;
    row.fill(static_cast<T>(value));
    const int32_t offset = 5;
    const LanczosColumns columns{xWeights.data(), 2, 10};
    std::array<float, 8> buffer{};
    Kernels::template RowFilter<T, 1>(row.data() + 2, 1, 1, &offset, &columns, buffer.data());
    const float* b = buffer.data();
    T out{};
    Kernels::Column(&out, 1, yWeights.data(), b, b, b, b, b, b);
    return {buffer[0], static_cast<double>(out)};
}

// The weights of fractions 0.5 and 0.25 as listed with the kernel's table, to the digits that fix
// each float; the table itself may differ from them in the last bit.
constexpr Six kHalfPhase = {0.0243170895f, -0.135094911f, 0.607927084f,
                            0.607927084f,  -0.135094911f, 0.0243170895f};
constexpr Six kQuarterPhase = {0.03002109f, -0.13287102f, 0.89006704f,
                               0.27018979f, -0.06779135f, 0.00735592f};

struct FlatCase {
    ResizeBuild build;
    int32_t elementType;
    double value;
    const Six* weights;  // both passes
    uint32_t rowBits;    // 0: not checked
    double expected;
};

template <class Kernels>
std::pair<float, double> FlatPixelOf(const FlatCase& c, const Six& wx, const Six& wy) {
    switch (c.elementType) {
        case kElement8u:
            return FlatPixel<Kernels, uint8_t>(c.value, wx, wy);
        case kElement16u:
            return FlatPixel<Kernels, uint16_t>(c.value, wx, wy);
        default:
            return FlatPixel<Kernels, float>(c.value, wx, wy);
    }
}

// Flat areas come out darker between samples, and the builds' precisions show in the last bits.
TEST(LanczosKernels, FlatAreasBetweenSamples) {
    using enum ResizeBuild;
    const std::array<FlatCase, 14> cases = {{
        {V1, kElement8u, 255, &kHalfPhase, 0, 252},
        {V2, kElement8u, 255, &kHalfPhase, 0, 252},
        {V3, kElement8u, 255, &kHalfPhase, 0, 252},
        {V1, kElement8u, 255, &kQuarterPhase, 0x437E3A4C, 253},
        {V2, kElement8u, 255, &kQuarterPhase, 0x437E3A4D, 253},
        {V3, kElement8u, 255, &kQuarterPhase, 0x437E3A4D, 253},
        {V1, kElement8u, 100, &kHalfPhase, 0, 98},
        {V1, kElement16u, 1671, &kHalfPhase, 0, 1651},
        {V2, kElement16u, 1671, &kHalfPhase, 0x44CFAF21, 1652},
        {V3, kElement16u, 1671, &kHalfPhase, 0x44CFAF21, 1651},
        {V1, kElement16u, 1000, &kHalfPhase, 0, 988},
        {V1, kElement32f, 1.0, &kHalfPhase, 0, std::bit_cast<float>(0x3F7D16D3u)},
        {V2, kElement32f, 1.0, &kHalfPhase, 0, std::bit_cast<float>(0x3F7D16D5u)},
        {V3, kElement32f, 1.0, &kHalfPhase, 0, std::bit_cast<float>(0x3F7D16D5u)},
    }};
    for (const FlatCase& c : cases) {
        const Six& wx = *c.weights;
        const Six& wy = *c.weights;
        const auto [row, out] = c.build == V1   ? FlatPixelOf<V1Lanczos>(c, wx, wy)
                                : c.build == V2 ? FlatPixelOf<V2Lanczos>(c, wx, wy)
                                                : FlatPixelOf<SimdLanczosKernels>(c, wx, wy);
        SCOPED_TRACE(testing::Message() << "build " << static_cast<int>(c.build) << " type "
                                        << c.elementType << " value " << c.value);
        if (c.rowBits != 0) {
            EXPECT_EQ(std::bit_cast<uint32_t>(row), c.rowBits);
        }
        EXPECT_EQ(out, c.expected);
    }
}

template <class Kernels, class T>
double ColumnOf(float a, float b) {
    const std::array<float, 1> b0 = {a};
    const std::array<float, 1> b1 = {b};
    const std::array<float, 1> zero = {0.0f};
    const Six w = {1, 1, 0, 0, 0, 0};
    T out{};
    Kernels::Column(&out, 1, w.data(), b0.data(), b1.data(), zero.data(), zero.data(), zero.data(),
                    zero.data());
    return static_cast<double>(out);
}

struct ConversionCase {
    float a;
    float b;
    double as8u;
    double as16u;
};

// Integer results: the sum plus 1e-7, truncated toward zero, saturated; the same in every build
// for these sums.
TEST(LanczosKernels, IntegerColumnsTruncateAfterTheBiasAndSaturate) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<ConversionCase, 11> cases = {{
        {254.0f, 0.9999f, 254, 254},
        {254.0f, 0.99999994f, 255, 255},
        {254.999985f, 0.0f, 254, 254},
        {100.9f, 0.0f, 100, 100},
        {-0.7f, 0.0f, 0, 0},
        {-5.0f, 0.0f, 0, 0},
        {255.4f, 0.0f, 255, 255},
        {300.4f, 0.0f, 255, 300},
        {65534.99f, 0.0f, 255, 65534},
        {65535.4f, 1e9f, 255, 65535},
        {nan, 0.0f, 0, 0},
    }};
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " + " << c.b);
        EXPECT_EQ((ColumnOf<V1Lanczos, uint8_t>(c.a, c.b)), c.as8u);
        EXPECT_EQ((ColumnOf<V2Lanczos, uint8_t>(c.a, c.b)), c.as8u);
        EXPECT_EQ((ColumnOf<SimdLanczosKernels, uint8_t>(c.a, c.b)), c.as8u);
        EXPECT_EQ((ColumnOf<V1Lanczos, uint16_t>(c.a, c.b)), c.as16u);
        EXPECT_EQ((ColumnOf<V2Lanczos, uint16_t>(c.a, c.b)), c.as16u);
        EXPECT_EQ((ColumnOf<SimdLanczosKernels, uint16_t>(c.a, c.b)), c.as16u);
    }
}

struct EdgeCase {
    int32_t left;
    int32_t right;
    int32_t x;
    std::array<int, 6> pixels;  // the source pixel each tap reads
};

// Taps outside the image read its first or last pixel; pixels outside the rectangle but inside
// the image are read as they are. The last two cases lie beyond what the core hands over and
// still read nothing outside the image.
constexpr std::array<EdgeCase, 11> kEdgeCases = {{
    {0, 10, 0, {0, 0, 0, 1, 2, 3}},
    {0, 10, 1, {0, 0, 1, 2, 3, 4}},
    {1, 10, 0, {-1, -1, 0, 1, 2, 3}},
    {2, 10, 0, {-2, -1, 0, 1, 2, 3}},
    {7, 10, 0, {-2, -1, 0, 1, 2, 3}},
    {0, 10, 7, {5, 6, 7, 8, 9, 9}},
    {0, 10, 8, {6, 7, 8, 9, 9, 9}},
    {0, 10, 9, {7, 8, 9, 9, 9, 9}},
    {2, 1, 0, {-2, -1, 0, 0, 0, 0}},
    {0, 10, 12, {9, 9, 9, 9, 9, 9}},
    {1, 10, -4, {-1, -1, -1, -1, -1, -1}},
}};

// With one weight 1 and the others 0, a row value is the sample its tap reads. Channel c of
// pixel p holds 1000 + 8p + c; an AC4 pixel's fourth element is not a number, which would show
// in any value that read it.
template <int Channels>
void ExpectTapsRead(int32_t stride) {
    constexpr int32_t kMargin = 8;
    std::vector<float> image(static_cast<std::size_t>(32 * stride));
    for (std::size_t e = 0; e < image.size(); ++e) {
        const int32_t p = static_cast<int32_t>(e) / stride - kMargin;
        const int32_t c = static_cast<int32_t>(e) % stride;
        image[e] = c < Channels ? 1000.0f + 8.0f * p + c : std::numeric_limits<float>::quiet_NaN();
    }
    const float* row = image.data() + kMargin * stride;
    for (const EdgeCase& edge : kEdgeCases) {
        for (int k = 0; k < 6; ++k) {
            Six w{};
            w[k] = 1.0f;
            const int32_t offset = edge.x * stride;
            const LanczosColumns columns{w.data(), edge.left, edge.right};
            std::array<float, 4> out{};
            V1Lanczos::RowFilter<float, Channels>(row, 1, stride, &offset, &columns, out.data());
            for (int c = 0; c < Channels; ++c) {
                EXPECT_EQ(out[c], 1000.0f + 8.0f * edge.pixels[k] + c)
                    << "left " << edge.left << " right " << edge.right << " x " << edge.x << " tap "
                    << k << " channel " << c;
            }
        }
    }
}

TEST(LanczosKernels, RowTapsAreHeldToTheImage) {
    ExpectTapsRead<1>(1);
    ExpectTapsRead<3>(3);
    ExpectTapsRead<3>(4);
    ExpectTapsRead<4>(4);
}

// Across a step from 0 to 255 at fraction 0.5 the kernel's lobes overshoot; the row buffer keeps
// the overshoot, the integer column saturates it and the float column keeps it.
TEST(LanczosKernels, OvershootAtAStepIsKeptInRowsAndSaturatedInIntegers) {
    std::array<uint8_t, 16> row{};
    std::fill(row.begin() + 8, row.end(), 255);
    const Six w = WeightsAt<float>(0.5f);
    std::array<float, 48> xWeights;
    for (int i = 0; i < 8; ++i) {
        std::copy(w.begin(), w.end(), xWeights.begin() + 6 * i);
    }
    const std::array<int32_t, 2> offsets = {6, 8};  // taps +2, +3 see 255, then taps 0 .. +3
    const LanczosColumns columns{xWeights.data(), 0, 16};
    std::array<float, 2> buffer{};
    V1Lanczos::RowFilter<uint8_t, 1>(row.data(), 2, 1, offsets.data(), &columns, buffer.data());
    EXPECT_NEAR(buffer[0], -28.2, 0.1);
    EXPECT_NEAR(buffer[1], 281.8, 0.1);

    const Six pass = {0, 0, 1, 0, 0, 0};
    const float* b = buffer.data();
    std::array<uint8_t, 2> bytes{};
    V1Lanczos::Column(bytes.data(), 2, pass.data(), b, b, b, b, b, b);
    EXPECT_EQ(bytes, (std::array<uint8_t, 2>{0, 255}));
    std::array<float, 2> floats{};
    SimdLanczosKernels::Column(floats.data(), 2, pass.data(), b, b, b, b, b, b);
    EXPECT_EQ(floats, buffer);
}

TEST(LanczosKernels, NoColumnsOrValuesWriteNothing) {
    const std::array<uint8_t, 8> row{};
    const int32_t offset = 2;
    const Six w{};
    const LanczosColumns columns{w.data(), 0, 8};
    std::array<float, 4> buffer = {5, 5, 5, 5};
    V1Lanczos::RowFilter<uint8_t, 4>(row.data(), 0, 4, &offset, &columns, buffer.data());
    V2Lanczos::RowFilter<uint8_t, 3>(row.data(), -1, 3, &offset, &columns, buffer.data());
    EXPECT_EQ(buffer, (std::array<float, 4>{5, 5, 5, 5}));
    const float* b = buffer.data();
    std::array<float, 4> out = {9, 9, 9, 9};
    SimdLanczosKernels::Column(out.data(), 0, w.data(), b, b, b, b, b, b);
    SimdLanczosKernels::Column(out.data(), -5, w.data(), b, b, b, b, b, b);
    V1Lanczos::ColumnAc4(out.data(), 0, w.data(), b, b, b, b, b, b);
    EXPECT_EQ(out, (std::array<float, 4>{9, 9, 9, 9}));
}

// The vector path of the float column filter against the scalar chain, at every count from 1 to
// 40 and at every misalignment of the destination.
TEST(LanczosKernels, VectorFloatColumnEqualsTheScalarChain) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-300.0f, 300.0f);
    std::array<std::vector<float>, 6> buffers;
    for (auto& b : buffers) {
        b.resize(44);
        for (float& v : b) {
            v = value(random);
        }
    }
    const Six w = WeightsAt<float>(0.37f);
    for (int32_t count = 1; count <= 40; ++count) {
        for (int32_t shift = 0; shift < 4; ++shift) {
            std::vector<float> vector(48, -1.0f);
            std::vector<float> scalar(48, -1.0f);
            SimdLanczosKernels::Column(vector.data() + shift, count, w.data(), buffers[0].data(),
                                       buffers[1].data(), buffers[2].data(), buffers[3].data(),
                                       buffers[4].data(), buffers[5].data());
            V3Lanczos::Column(scalar.data() + shift, count, w.data(), buffers[0].data(),
                              buffers[1].data(), buffers[2].data(), buffers[3].data(),
                              buffers[4].data(), buffers[5].data());
            ASSERT_EQ(std::memcmp(vector.data(), scalar.data(), 48 * sizeof(float)), 0)
                << count << " " << shift;
        }
    }
}

// The vector row filters against the scalar chain, at every width from 1 to 40, with offsets
// that reach both edges of the image.
template <class T, int Channels>
void CompareRows(std::mt19937& random, int32_t stride) {
    constexpr int32_t kPixels = 24;
    constexpr int32_t kLeft = 1;
    std::vector<T> image(static_cast<std::size_t>(kPixels * stride));
    for (T& v : image) {
        v = static_cast<T>(random());
    }
    for (int32_t width = 1; width <= 40; ++width) {
        std::vector<int32_t> offsets(width);
        std::vector<float> weights(6 * static_cast<std::size_t>(width));
        for (int32_t j = 0; j < width; ++j) {
            offsets[j] = static_cast<int32_t>(j * (kPixels - kLeft) / width) * stride;
            const Six w = WeightsAt<float>(std::uniform_real_distribution<float>(0, 1)(random));
            std::copy(w.begin(), w.end(), weights.begin() + 6 * j);
        }
        const LanczosColumns columns{weights.data(), kLeft, kPixels - kLeft};
        std::vector<float> vector(4 * 41, -1.0f);
        std::vector<float> scalar(4 * 41, -1.0f);
        const T* row = image.data() + kLeft * stride;
        SimdLanczosKernels::RowFilter<T, Channels>(row, width, stride, offsets.data(), &columns,
                                                   vector.data());
        V3Lanczos::RowFilter<T, Channels>(row, width, stride, offsets.data(), &columns,
                                          scalar.data());
        ASSERT_EQ(std::memcmp(vector.data(), scalar.data(), vector.size() * sizeof(float)), 0)
            << "channels " << Channels << " stride " << stride << " width " << width;
    }
}

TEST(LanczosKernels, VectorRowFiltersEqualTheScalarChain) {
    std::mt19937 random(5);
    CompareRows<uint8_t, 3>(random, 3);
    CompareRows<uint8_t, 3>(random, 4);
    CompareRows<uint8_t, 4>(random, 4);
    CompareRows<uint8_t, 1>(random, 1);
}

// The integer column filters' vector path against the scalar chain, with sums that cross both
// saturation limits.
template <class T>
void CompareIntegerColumns(std::mt19937& random) {
    constexpr double kMax = std::numeric_limits<T>::max();
    std::uniform_real_distribution<float> value(-0.2 * kMax, 1.2 * kMax);
    std::array<std::vector<float>, 6> buffers;
    for (auto& b : buffers) {
        b.resize(44);
        for (float& v : b) {
            v = value(random);
        }
    }
    buffers[0][3] = std::numeric_limits<float>::quiet_NaN();
    const Six w = WeightsAt<float>(0.61f);
    for (int32_t count = 1; count <= 40; ++count) {
        std::vector<T> vector(44, 7);
        std::vector<T> scalar(44, 7);
        SimdLanczosKernels::Column(vector.data(), count, w.data(), buffers[0].data(),
                                   buffers[1].data(), buffers[2].data(), buffers[3].data(),
                                   buffers[4].data(), buffers[5].data());
        V3Lanczos::Column(scalar.data(), count, w.data(), buffers[0].data(), buffers[1].data(),
                          buffers[2].data(), buffers[3].data(), buffers[4].data(),
                          buffers[5].data());
        ASSERT_EQ(vector, scalar) << count;
    }
}

TEST(LanczosKernels, VectorIntegerColumnsEqualTheScalarChain) {
    std::mt19937 random(8);
    for (SimdLevel level : {SimdLevel::kAvx2, SimdLevel::kSse2}) {
        LimitSimdLevel(level);
        CompareIntegerColumns<uint8_t>(random);
        CompareIntegerColumns<uint16_t>(random);
    }
    LimitSimdLevel(SimdLevel::kAvx2);
}

struct WindowCase {
    int32_t roiY;
    int32_t availHeight;
    std::vector<int32_t> rows;  // each destination row's source row, relative to the rectangle
};

// With one-hot weights a destination value is the sample of one window slot, so every slot of
// every window can be checked against the row it must hold: n - 2 + k, held to the image.
TEST(LanczosDriver, WindowHoldsTheRowsAroundEachDestinationRow) {
    const std::vector<WindowCase> cases = {
        {0, 14, {0, 0, 1, 1, 2, 3, 4, 5, 5, 6}},  // enlarging from the image's top
        {1, 13, {0, 1, 2, 3}},                    // one real row above the rectangle
        {2, 12, {0, 3, 9, 11}},                   // jumps of 3 and 6, down to the last row
        {5, 9, {0, 7, 8, 8}},                     // a jump of 7, rows between never needed
        {11, 3, {0, 1, 2, 2}},                    // the rectangle's last rows are the image's
        {13, 1, {0, 0}},                          // the rectangle is the image's last row
        {12, 2, {0, 1, 1}},
        {3, 11, {-3, -1, 0, 10}},  // positions a shift moved above the rectangle
    };
    constexpr int32_t kWidth = 6;
    constexpr int32_t kHeight = 14;
    std::array<uint8_t, kWidth * kHeight> image;
    for (int32_t e = 0; e < kWidth * kHeight; ++e) {
        image[e] = static_cast<uint8_t>(e / kWidth * 10 + e % kWidth);
    }
    const std::array<int32_t, 2> colOffsets = {1, 4};
    Six centre{};
    centre[2] = 1.0f;
    std::array<float, 12> xWeights{};
    std::copy(centre.begin(), centre.end(), xWeights.begin());
    std::copy(centre.begin(), centre.end(), xWeights.begin() + 6);
    for (const WindowCase& c : cases) {
        const int32_t dstHeight = static_cast<int32_t>(c.rows.size());
        std::vector<int32_t> rowOffsets;
        for (int32_t n : c.rows) {
            rowOffsets.push_back(n * kWidth);
        }
        for (int k = 0; k < 6; ++k) {
            std::vector<float> yWeights(6 * c.rows.size(), 0.0f);
            for (std::size_t j = 0; j < c.rows.size(); ++j) {
                yWeights[6 * j + k] = 1.0f;
            }
            std::array<std::array<float, 8>, 6> buffers{};
            std::vector<uint8_t> dst(2 * c.rows.size(), 0xEE);
            DriverArgs args{image.data() + c.roiY * kWidth,
                            dst.data(),
                            kWidth,
                            2,
                            2,
                            dstHeight,
                            rowOffsets.data(),
                            colOffsets.data(),
                            yWeights.data(),
                            xWeights.data(),
                            {},
                            0,
                            c.roiY,
                            kWidth,
                            c.availHeight,
                            0,
                            0,
                            0};
            for (int b = 0; b < 6; ++b) {
                args.buffers[b] = buffers[b].data();
            }
            ResizeLanczosRows<V1Lanczos, uint8_t, false>(args);
            for (int32_t j = 0; j < dstHeight; ++j) {
                const int32_t row =
                    c.roiY + std::clamp(c.rows[j] - 2 + k, -c.roiY, c.availHeight - 1);
                EXPECT_EQ(dst[2 * j], row * 10 + 1)
                    << "roiY " << c.roiY << " row " << j << " tap " << k;
                EXPECT_EQ(dst[2 * j + 1], row * 10 + 4);
            }
        }
    }
}

// V1 sums in double, V2 in single precision, V3 and V4 in between: their integer results differ
// by at most one, their float results in the last bits.
TEST(LanczosBuilds, ResultsDifferOnlyByRounding) {
    for (const test::Layout& layout : test::kLayouts) {
        for (int32_t elementType : test::kElementTypes) {
            const test::Picture src = test::RandomPicture(layout, elementType, 17, 13, 9);
            for (const auto& [xFactor, yFactor] :
                 {std::pair{2.3, 1.7}, std::pair{0.45, 0.8}, std::pair{0.13, 3.0}}) {
                std::array<test::Picture, 4> results;
                for (std::size_t b = 0; b < 4; ++b) {
                    ASSERT_EQ(test::ResizePicture(test::AllCores()[b], layout, elementType, src,
                                                  {xFactor, yFactor, kInterLanczos}, results[b]),
                              kResizeOk);
                }
                EXPECT_EQ(results[2], results[3]);
                for (std::size_t p = 0; p < src.planes.size(); ++p) {
                    const std::vector<uint8_t>& reference = results[0].planes[p];
                    for (std::size_t b = 1; b < 3; ++b) {
                        const std::vector<uint8_t>& other = results[b].planes[p];
                        const std::size_t bytes = test::ElementBytes(elementType);
                        for (std::size_t e = 0; e < reference.size() / bytes; ++e) {
                            double x = 0;
                            double y = 0;
                            if (elementType == kElement32f) {
                                float fx;
                                float fy;
                                std::memcpy(&fx, &reference[4 * e], 4);
                                std::memcpy(&fy, &other[4 * e], 4);
                                x = fx, y = fy;
                            } else {
                                uint32_t ix = 0;
                                uint32_t iy = 0;
                                std::memcpy(&ix, &reference[bytes * e], bytes);
                                std::memcpy(&iy, &other[bytes * e], bytes);
                                x = ix, y = iy;
                            }
                            const double tolerance =
                                elementType == kElement32f ? 1e-4 * (1.0 + std::fabs(x)) : 1.0;
                            ASSERT_LE(std::fabs(x - y), tolerance)
                                << layout.name << " type " << elementType << " build " << b + 1;
                        }
                    }
                }
            }
        }
    }
}

TEST(LanczosEntry, TheEntryScalesWithLanczos) {
    const std::vector<uint8_t> src = test::RandomImage(9 * 7 * 3, kElement8u, 4);
    std::vector<uint8_t> dst(9 * 7 * 3, 0);
    ASSERT_EQ(FrameResize_8u_C3R(src.data(), {9, 7}, 27, {0, 0, 9, 7}, dst.data(), 27, {9, 7}, 1.0,
                                 1.0, kInterLanczos),
              kResizeOk);
    EXPECT_EQ(dst, src);
}

// Shifted positions reach the image's edges from outside the rectangle; the filters must still
// read and write nothing outside the two images.
TEST(LanczosGuardPages, ShiftedRectanglesStayInsideBothImages) {
    using Placement = test::GuardedBuffer::Placement;
    for (const test::Layout& layout : test::kLayouts) {
        if (layout.planar != 0) {
            continue;  // planes are one-channel images, covered by C1
        }
        for (int32_t elementType : test::kElementTypes) {
            const int32_t pixelBytes = layout.pixelStride * test::ElementBytes(elementType);
            for (const auto& [shift, placement] :
                 {std::pair{-7.5, Placement::Front}, std::pair{9.25, Placement::Back},
                  std::pair{-0.4, Placement::Back}}) {
                const int32_t srcStep = 11 * pixelBytes;
                const int32_t dstStep = 7 * pixelBytes;
                test::GuardedBuffer src(std::size_t(srcStep) * 9, placement);
                test::GuardedBuffer dst(std::size_t(dstStep) * 5, placement);
                const std::vector<uint8_t> content =
                    test::RandomImage(std::size_t(srcStep) * 9, elementType, 2);
                std::memcpy(src.data(), content.data(), content.size());
                for (ResizeCoreFn core : test::AllCores()) {
                    ASSERT_EQ(core(src.data(), 11, 9, srcStep, 2, 3, 6, 4, dst.data(), dstStep, 7,
                                   5, 1.2, 1.3, shift, -shift, layout.pixelStride, layout.channels,
                                   elementType, 0, kInterLanczos, 1),
                              kResizeOk);
                }
            }
        }
    }
}

}  // namespace
}  // namespace resize
