// The vector kernels of builds V3 and V4 against the scalar code of the same rules, at every
// row width from 1 to 40 so that every split between vector steps and the scalar rest is met,
// once with AVX2 (where the processor has it) and once with SSE2.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "resize/cubic_kernels.h"
#include "resize/linear_kernels.h"
#include "resize/simd_level.h"

namespace resize {
namespace {

using ScalarLinear = ScalarLinearKernels<float>;
using ScalarCubic = ScalarCubicKernels<CubicRules<ResizeBuild::V3>>;

constexpr int32_t kSourcePixels = 60;
constexpr int32_t kMaxWidth = 40;

template <class T>
std::vector<T> RandomRow(std::mt19937& random) {
    std::vector<T> row(4 * kSourcePixels);
    for (T& v : row) {
        if constexpr (std::is_same_v<T, float>) {
            v = std::uniform_real_distribution<float>(-5.0f, 300.0f)(random);
        } else {
            v = static_cast<T>(random());
        }
    }
    return row;
}

// Pixel indices that never decrease by steps up to maxStep, keeping one pixel before and two
// after inside the row; rows end on a run of equal offsets as enlarged rows do.
std::vector<int32_t> RandomOffsets(std::mt19937& random, int32_t width, int32_t stride,
                                   int32_t maxStep = 2) {
    std::vector<int32_t> offsets(width);
    int32_t n = 1 + static_cast<int32_t>(random() % 4);
    for (int32_t& offset : offsets) {
        n = std::min(n + static_cast<int32_t>(random() % (maxStep + 1)), kSourcePixels - 3);
        offset = n * stride;
    }
    return offsets;
}

template <class Buffer>
struct alignas(32) RowBuffer {
    std::array<Buffer, 4 * kMaxWidth + 16> values;
};

class SimdAgainstScalar : public ::testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override {
        LimitSimdLevel(GetParam());
        if (ActiveSimdLevel() != GetParam()) {
            GTEST_SKIP() << "the processor has no AVX2";
        }
    }
    void TearDown() override { LimitSimdLevel(SimdLevel::kAvx2); }

    std::mt19937 random_{1234};
};

template <class T, int Channels>
void CompareLinearRows(std::mt19937& random, int32_t stride, int32_t maxStep = 2) {
    using Buffer = LinearBuffer<T>;
    const std::vector<T> row = RandomRow<T>(random);
    for (int32_t width = 1; width <= kMaxWidth; ++width) {
        const std::vector<int32_t> offsets = RandomOffsets(random, width, stride, maxStep);
        std::vector<LinearWeight<T>> weights;
        for (int32_t j = 0; j < width; ++j) {
            if constexpr (std::is_same_v<T, float>) {
                weights.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
            } else {
                const auto w = static_cast<uint16_t>(random() % 16385);
                weights.push_back(static_cast<uint16_t>(16384 - w));
                weights.push_back(w);
            }
        }
        RowBuffer<Buffer> expected{};
        RowBuffer<Buffer> actual{};
        ScalarLinear::RowFilter<T, Channels>(row.data(), width, stride, offsets.data(),
                                             weights.data(), expected.values.data());
        SimdLinearKernels::RowFilter<T, Channels>(row.data(), width, stride, offsets.data(),
                                                  weights.data(), actual.values.data());
        ASSERT_TRUE(std::equal(expected.values.begin(), expected.values.begin() + Channels * width,
                               actual.values.begin()))
            << "width " << width;
    }
}

template <class T>
void CompareLinearBlends(std::mt19937& random) {
    using Buffer = LinearBuffer<T>;
    RowBuffer<Buffer> upper;
    RowBuffer<Buffer> lower;
    for (std::size_t i = 0; i < upper.values.size(); ++i) {
        if constexpr (std::is_same_v<T, float>) {
            upper.values[i] = std::uniform_real_distribution<float>(-5.0f, 300.0f)(random);
            lower.values[i] = std::uniform_real_distribution<float>(-5.0f, 300.0f)(random);
        } else {
            // The buffers' own ranges: 8u rows carry six fraction bits.
            const uint32_t range = std::is_same_v<T, uint8_t> ? 16321 : 65536;
            upper.values[i] = static_cast<Buffer>(random() % range);
            lower.values[i] = static_cast<Buffer>(random() % range);
        }
    }
    for (int32_t count = 1; count <= 3 * kMaxWidth; ++count) {
        LinearWeight<T> w;
        if constexpr (std::is_same_v<T, float>) {
            w = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
        } else {
            w = static_cast<uint16_t>(random() % 16385);
        }
        std::vector<T> expected(count + 8, T(7));
        std::vector<T> actual(count + 8, T(7));
        ScalarLinear::Column<T>(expected.data(), count, w, upper.values.data(),
                                lower.values.data());
        SimdLinearKernels::Column<T>(actual.data(), count, w, upper.values.data(),
                                     lower.values.data());
        ASSERT_EQ(expected, actual) << "count " << count;
    }
}

TEST_P(SimdAgainstScalar, LinearRowFilters) {
    CompareLinearRows<uint8_t, 1>(random_, 1);
    CompareLinearRows<uint8_t, 3>(random_, 3);
    CompareLinearRows<uint8_t, 3>(random_, 4);
    CompareLinearRows<uint8_t, 4>(random_, 4);
    CompareLinearRows<uint16_t, 1>(random_, 1);
    CompareLinearRows<uint16_t, 3>(random_, 3);
    CompareLinearRows<uint16_t, 4>(random_, 4);
    CompareLinearRows<float, 1>(random_, 1);
    CompareLinearRows<float, 3>(random_, 3);
    CompareLinearRows<float, 3>(random_, 4);
    CompareLinearRows<float, 4>(random_, 4);
    // Reduced rows, whose pixels may lie too far apart for one vector's window.
    CompareLinearRows<uint8_t, 1>(random_, 1, 6);
    CompareLinearRows<uint8_t, 3>(random_, 3, 6);
    CompareLinearRows<float, 1>(random_, 1, 6);
    CompareLinearRows<float, 3>(random_, 3, 6);
}

TEST_P(SimdAgainstScalar, LinearBlends) {
    CompareLinearBlends<uint8_t>(random_);
    CompareLinearBlends<uint16_t>(random_);
    CompareLinearBlends<float>(random_);
}

template <class T, int Channels>
void CompareCubicRows(std::mt19937& random, int32_t stride) {
    const std::vector<T> row = RandomRow<T>(random);
    for (int32_t width = 1; width <= kMaxWidth; ++width) {
        const std::vector<int32_t> offsets = RandomOffsets(random, width, stride);
        RowBuffer<float> fractions{};
        for (int32_t j = 0; j < width; ++j) {
            fractions.values[j] = std::uniform_real_distribution<float>(-1.0f, 2.0f)(random);
        }
        fractions.values[width - 1] = 2.0f;
        RowBuffer<float> expected{};
        RowBuffer<float> actual{};
        ScalarCubic::RowFilter<T, Channels>(row.data(), width, stride, offsets.data(),
                                            fractions.values.data(), expected.values.data());
        SimdCubicKernels::RowFilter<T, Channels>(row.data(), width, stride, offsets.data(),
                                                 fractions.values.data(), actual.values.data());
        ASSERT_EQ(std::memcmp(expected.values.data(), actual.values.data(),
                              sizeof(float) * Channels * width),
                  0)
            << "width " << width;
    }
}

template <class T>
void CompareCubicColumns(std::mt19937& random) {
    std::array<RowBuffer<float>, 4> buffers;
    for (auto& buffer : buffers) {
        for (float& v : buffer.values) {
            v = std::uniform_real_distribution<float>(-40.0f, 70000.0f)(random);
        }
    }
    // Edges, overshoot and exact halves, where rounding and truncation part ways.
    buffers[1].values[0] = 126.5f;
    buffers[1].values[1] = -0.4f;
    for (int32_t count = 1; count <= 4 * kMaxWidth; ++count) {
        for (float t : {-1.0f, 0.0f, 0.37f, 1.0f, 1.5f, 2.0f}) {
            std::vector<T> expected(count + 8, T(3));
            std::vector<T> actual(count + 8, T(3));
            ScalarCubic::Column<T>(expected.data(), count, t, buffers[0].values.data(),
                                   buffers[1].values.data(), buffers[2].values.data(),
                                   buffers[3].values.data());
            SimdCubicKernels::Column<T>(actual.data(), count, t, buffers[0].values.data(),
                                        buffers[1].values.data(), buffers[2].values.data(),
                                        buffers[3].values.data());
            ASSERT_EQ(std::memcmp(expected.data(), actual.data(), sizeof(T) * expected.size()), 0)
                << "count " << count << " t " << t;
        }
    }
}

TEST_P(SimdAgainstScalar, CubicRowFilters) {
    CompareCubicRows<uint8_t, 1>(random_, 1);
    CompareCubicRows<uint8_t, 3>(random_, 3);
    CompareCubicRows<uint8_t, 3>(random_, 4);
    CompareCubicRows<uint8_t, 4>(random_, 4);
    CompareCubicRows<uint16_t, 3>(random_, 3);
    CompareCubicRows<float, 4>(random_, 4);
}

TEST_P(SimdAgainstScalar, CubicColumnFilters) {
    CompareCubicColumns<uint8_t>(random_);
    CompareCubicColumns<uint16_t>(random_);
    CompareCubicColumns<float>(random_);
}

INSTANTIATE_TEST_SUITE_P(Levels, SimdAgainstScalar,
                         ::testing::Values(SimdLevel::kAvx2, SimdLevel::kSse2),
                         [](const auto& info) {
                             return std::string(info.param == SimdLevel::kAvx2 ? "Avx2" : "Sse2");
                         });

}  // namespace
}  // namespace resize
