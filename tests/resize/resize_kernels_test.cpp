#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "resize/cubic_drivers.h"
#include "resize/cubic_kernels.h"
#include "resize/linear_drivers.h"
#include "resize/linear_kernels.h"
#include "resize_test_support.h"

namespace resize {
namespace {

using V1Linear = ScalarLinearKernels<double>;
using V2Linear = ScalarLinearKernels<float>;

// One 8u destination value through a row filter and a blend with row weight 0.
template <class Kernels>
uint8_t Linear8u(uint8_t a, uint8_t b, uint16_t w0, uint16_t w1) {
    const std::array<uint8_t, 2> row = {a, b};
    const int32_t offset = 0;
    const std::array<uint16_t, 2> weights = {w0, w1};
    alignas(32) std::array<uint16_t, 16> upper{};
    alignas(32) std::array<uint16_t, 16> lower{};
    Kernels::template RowFilter<uint8_t, 1>(row.data(), 1, 1, &offset, weights.data(),
                                            upper.data());
    uint8_t out = 0;
    Kernels::Column(&out, 1, uint16_t{0}, upper.data(), lower.data());
    return out;
}

template <class Kernels>
void ExpectLinearExamples() {
    EXPECT_EQ(Linear8u<Kernels>(77, 200, 16384, 0), 77);
    EXPECT_EQ(Linear8u<Kernels>(0, 1, 8192, 8192), 1);
    EXPECT_EQ(Linear8u<Kernels>(255, 255, 5000, 11384), 255);
}

TEST(LinearKernels, WorkedExamplesInEveryBuild) {
    ExpectLinearExamples<V1Linear>();
    ExpectLinearExamples<V2Linear>();
    ExpectLinearExamples<SimdLinearKernels>();
}

TEST(LinearKernels, RowFilterKeepsSixFractionBits) {
    const std::array<uint8_t, 2> row = {0, 1};
    const int32_t offset = 0;
    const std::array<uint16_t, 2> weights = {8192, 8192};
    uint16_t out = 0;
    V1Linear::RowFilter<uint8_t, 1>(row.data(), 1, 1, &offset, weights.data(), &out);
    EXPECT_EQ(out, 32);
}

TEST(LinearKernels, WhiteSixteenBitStaysWhiteAtAnyWeight) {
    std::array<uint16_t, 12> row;
    row.fill(65535);
    for (uint16_t w = 0; w <= 16384; w += 97) {
        const std::array<int32_t, 2> offsets = {0, 4};
        const std::array<uint16_t, 4> weights = {static_cast<uint16_t>(16384 - w), w,
                                                 static_cast<uint16_t>(16384 - w), w};
        alignas(32) std::array<uint16_t, 32> upper{};
        V2Linear::RowFilter<uint16_t, 3>(row.data(), 2, 3, offsets.data(), weights.data(),
                                         upper.data());
        std::array<uint16_t, 6> out{};
        SimdLinearKernels::Column<uint16_t>(out.data(), 6, w, upper.data(), upper.data());
        for (uint16_t v : out) {
            ASSERT_EQ(v, 65535) << w;
        }
    }
}

TEST(LinearKernels, FloatRowFilterAtTheEnds) {
    const std::array<float, 2> row = {0.1f, 0.7f};
    const int32_t offset = 0;
    float atZero = -1;
    float atOne = -1;
    const float zero = 0.0f;
    const float one = 1.0f;
    V2Linear::RowFilter<float, 1>(row.data(), 1, 1, &offset, &zero, &atZero);
    V2Linear::RowFilter<float, 1>(row.data(), 1, 1, &offset, &one, &atOne);
    EXPECT_EQ(atZero, 0.1f);
    EXPECT_EQ(atOne, 0.1f + (0.7f - 0.1f));
}

TEST(LinearKernels, Ac4BlendKeepsTheFourthElement) {
    alignas(32) std::array<uint16_t, 32> upper{};
    alignas(32) std::array<uint16_t, 32> lower{};
    upper.fill(64 * 10);
    lower.fill(64 * 30);
    std::array<uint8_t, 12> out;
    out.fill(99);
    V1Linear::ColumnAc4<uint8_t>(out.data(), 3, 8192, upper.data(), lower.data());
    EXPECT_EQ(out, (std::array<uint8_t, 12>{20, 20, 20, 99, 20, 20, 20, 99, 20, 20, 20, 99}));
    out.fill(99);
    SimdLinearKernels::ColumnAc4<uint8_t>(out.data(), 3, 8192, upper.data(), lower.data());
    EXPECT_EQ(out, (std::array<uint8_t, 12>{20, 20, 20, 99, 20, 20, 20, 99, 20, 20, 20, 99}));
}

// Runs a column filter over four values per sample so that the four-wide way applies.
template <class Kernels, class T>
std::array<T, 5> CubicColumn(std::array<float, 4> samples, float t) {
    alignas(32) std::array<std::array<float, 8>, 4> w{};
    for (int k = 0; k < 4; ++k) {
        w[k].fill(samples[k]);
    }
    std::array<T, 5> out{};
    Kernels::Column(out.data(), 5, t, w[0].data(), w[1].data(), w[2].data(), w[3].data());
    return out;
}

using V1Cubic = ScalarCubicKernels<CubicRules<ResizeBuild::V1>>;
using V2Cubic = ScalarCubicKernels<CubicRules<ResizeBuild::V2>>;
using V3Cubic = ScalarCubicKernels<CubicRules<ResizeBuild::V3>>;

TEST(CubicKernels, AStepEdgeRoundsInTheFourWidePartAndTruncatesAfterIt) {
    const auto v1 = CubicColumn<V1Cubic, uint8_t>({0, 0, 255, 255}, 0.5f);
    EXPECT_EQ(v1, (std::array<uint8_t, 5>{127, 127, 127, 127, 127}));
    for (const auto& out : {CubicColumn<V2Cubic, uint8_t>({0, 0, 255, 255}, 0.5f),
                            CubicColumn<SimdCubicKernels, uint8_t>({0, 0, 255, 255}, 0.5f)}) {
        EXPECT_EQ(out, (std::array<uint8_t, 5>{128, 128, 128, 128, 127}));
    }
}

TEST(CubicKernels, OvershootSaturatesIntegersAndStaysInFloats) {
    EXPECT_EQ((CubicColumn<V1Cubic, uint8_t>({0, 255, 255, 0}, 0.5f)[4]), 255);
    EXPECT_EQ((CubicColumn<SimdCubicKernels, uint8_t>({0, 255, 255, 0}, 0.5f)[0]), 255);
    EXPECT_EQ((CubicColumn<V1Cubic, uint8_t>({255, 0, 0, 255}, 0.5f)[4]), 0);
    EXPECT_EQ((CubicColumn<SimdCubicKernels, uint8_t>({255, 0, 0, 255}, 0.5f)[0]), 0);
    EXPECT_EQ((CubicColumn<SimdCubicKernels, uint16_t>({0, 65535, 65535, 0}, 0.5f)[1]), 65535);
    EXPECT_FLOAT_EQ((CubicColumn<V1Cubic, float>({0, 255, 255, 0}, 0.5f)[0]), 286.875f);
    EXPECT_FLOAT_EQ((CubicColumn<SimdCubicKernels, float>({255, 0, 0, 255}, 0.5f)[4]), -31.875f);
}

struct SampleCase {
    float t;
    int sample;
};

class CubicAtSamples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(CubicAtSamples, GivesTheSampleInEveryPath) {
    const std::array<float, 4> samples = {17, 200, 3, 90};
    const auto expected = static_cast<uint8_t>(samples[GetParam().sample]);
    const std::array<uint8_t, 5> all = {expected, expected, expected, expected, expected};
    EXPECT_EQ((CubicColumn<V1Cubic, uint8_t>(samples, GetParam().t)), all);
    EXPECT_EQ((CubicColumn<V2Cubic, uint8_t>(samples, GetParam().t)), all);
    EXPECT_EQ((CubicColumn<SimdCubicKernels, uint8_t>(samples, GetParam().t)), all);
    const std::array<float, 4> wide = {1000, 65535, 0, 40000};
    const auto expected16 = static_cast<uint16_t>(wide[GetParam().sample]);
    for (uint16_t v : CubicColumn<SimdCubicKernels, uint16_t>(wide, GetParam().t)) {
        EXPECT_EQ(v, expected16);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, CubicAtSamples,
                         ::testing::Values(SampleCase{-1.0f, 0}, SampleCase{0.0f, 1},
                                           SampleCase{1.0f, 2}, SampleCase{2.0f, 3}));

TEST(CubicKernels, ThreeChannelFilterIgnoresTheFourthElement) {
    std::vector<uint8_t> ac4(4 * 6);
    for (std::size_t i = 0; i < ac4.size(); ++i) {
        ac4[i] = static_cast<uint8_t>(i * 37);
    }
    std::vector<uint8_t> other = ac4;
    for (std::size_t i = 3; i < other.size(); i += 4) {
        other[i] = static_cast<uint8_t>(255 - other[i]);
    }
    const std::array<int32_t, 2> offsets = {4, 8};
    const std::array<float, 2> fractions = {0.3f, 1.7f};
    alignas(32) std::array<float, 32> a{};
    alignas(32) std::array<float, 32> b{};
    SimdCubicKernels::RowFilter<uint8_t, 3>(ac4.data(), 2, 4, offsets.data(), fractions.data(),
                                            a.data());
    SimdCubicKernels::RowFilter<uint8_t, 3>(other.data(), 2, 4, offsets.data(), fractions.data(),
                                            b.data());
    EXPECT_EQ(a, b);
}

TEST(CubicKernels, Ac4ColumnKeepsTheFourthElementWhereTheFourWidePartStops) {
    alignas(32) std::array<std::array<float, 32>, 4> w;
    for (auto& buffer : w) {
        buffer.fill(42.0f);
    }
    std::array<uint8_t, 4 * 5> out;
    out.fill(7);
    SimdCubicKernels::ColumnAc4<uint8_t>(out.data(), 5, 0.25f, w[0].data(), w[1].data(),
                                         w[2].data(), w[3].data());
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(out[4 * p], 42);
        EXPECT_EQ(out[4 * p + 2], 42);
        EXPECT_EQ(out[4 * p + 3], 7);
    }
}

// Kernels that remember which source rows the drivers filtered, as row indices.
struct FilterLog {
    static inline const uint8_t* origin = nullptr;
    static inline int32_t step = 1;
    static inline std::vector<int64_t> rows;
};

struct LoggingLinearKernels {
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t, int32_t, const int32_t*, const LinearWeight<T>*,
                          LinearBuffer<T>*) {
        FilterLog::rows.push_back((s - FilterLog::origin) / FilterLog::step);
    }
    template <class T>
    static void Column(T*, int32_t, LinearWeight<T>, const LinearBuffer<T>*,
                       const LinearBuffer<T>*) {}
    template <class T>
    static void ColumnAc4(T*, int32_t, LinearWeight<T>, const LinearBuffer<T>*,
                          const LinearBuffer<T>*) {}
};

struct LoggingCubicKernels {
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t, int32_t, const int32_t*, const float*, float*) {
        FilterLog::rows.push_back((s - FilterLog::origin) / FilterLog::step);
    }
    template <class T>
    static void Column(T*, int32_t, float, const float*, const float*, const float*, const float*) {
    }
    template <class T>
    static void ColumnAc4(T*, int32_t, float, const float*, const float*, const float*,
                          const float*) {}
};

struct WindowCase {
    std::vector<int32_t> rows;  // source row of each destination row
    std::vector<int64_t> filtered;
};

std::vector<int64_t> RunLogged(ResizeDriver driver, const std::vector<int32_t>& rows) {
    constexpr int32_t kStep = 10;
    static const std::vector<uint8_t> source(1000);
    std::vector<int32_t> offsets;
    for (int32_t r : rows) {
        offsets.push_back(r * kStep);
    }
    FilterLog::origin = source.data() + 100;
    FilterLog::step = kStep;
    FilterLog::rows.clear();
    std::array<float, 8> weights{};
    const int32_t colOffset = 0;
    uint8_t dst[64];
    DriverArgs args{};
    args.src = FilterLog::origin;
    args.dst = dst;
    args.srcStep = kStep;
    args.dstStep = 1;
    args.dstWidth = 1;
    args.dstHeight = static_cast<int32_t>(rows.size());
    args.rowOffsets = offsets.data();
    args.colOffsets = &colOffset;
    args.rowWeights = weights.data();
    args.colWeights = weights.data();
    driver(args);
    return FilterLog::rows;
}

class LinearWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(LinearWindow, FiltersEachRowOnceInTheGivenOrder) {
    EXPECT_EQ(RunLogged(&ResizeLinearRows<LoggingLinearKernels, uint8_t, false>, GetParam().rows),
              GetParam().filtered);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinearWindow,
                         ::testing::Values(WindowCase{{0, 0, 1, 2}, {0, 1, 2, 3}},
                                           WindowCase{{0, 3}, {0, 1, 4, 3}},
                                           WindowCase{{-1, -1, -1}, {-1, 0}}));

class CubicWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(CubicWindow, FiltersEachRowOnceInTheGivenOrder) {
    EXPECT_EQ(RunLogged(&ResizeCubicRows<LoggingCubicKernels, uint8_t, false>, GetParam().rows),
              GetParam().filtered);
}

INSTANTIATE_TEST_SUITE_P(Cases, CubicWindow,
                         ::testing::Values(WindowCase{{1, 1, 1}, {0, 1, 2, 3}},
                                           WindowCase{{1, 2, 4}, {0, 1, 2, 3, 4, 6, 5}},
                                           WindowCase{{1, 4}, {0, 1, 2, 3, 6, 5, 4}},
                                           WindowCase{{1, 9}, {0, 1, 2, 3, 11, 10, 9, 8}}));

}  // namespace
}  // namespace resize
