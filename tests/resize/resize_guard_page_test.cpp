#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "resize/simd_level.h"
#include "resize_test_support.h"

namespace resize {
namespace {

using test::Layout;

using Combination = std::tuple<int32_t, int32_t, Layout>;

constexpr std::array<test::GuardGeometry, 7> kGeometries = {{
    {4, 4, 0, 0, 4, 4},
    {7, 5, 1, 1, 5, 3},
    {7, 5, 6, 4, 1, 1},  // the rectangle is the last pixel
    {37, 6, 0, 0, 37, 6},
    {41, 9, 3, 2, 50, 50},  // clipped
    {6, 6, 5, 5, 1, 1},     // the smallest image Lanczos serves, from its last pixel
    {9, 8, 1, 6, 7, 2},     // one column left of the rectangle, two rows below it
}};

constexpr std::array<std::pair<double, double>, 6> kFactors = {
    {{0.1, 0.1}, {0.37, 2.6}, {1.0, 1.0}, {4.3, 0.55}, {13.0, 9.0}, {1.3, 1.1}}};

// Source and destination each sit flush against an inaccessible page, before or after, so any
// access outside the two images ends the test with a fault.
class GuardPages : public ::testing::TestWithParam<Combination> {
protected:
    void TearDown() override { LimitSimdLevel(SimdLevel::kAvx2); }
};

TEST_P(GuardPages, NoAccessOutsideEitherImage) {
    // Named copies rather than structured bindings, which lambdas may not capture before C++20
    // support is complete in every compiler the library builds with.
    const int32_t interpolation = std::get<0>(GetParam());
    const int32_t elementType = std::get<1>(GetParam());
    const Layout layout = std::get<2>(GetParam());
    // Both vector levels run (where the processor has AVX2), as their reads differ.
    test::ForEachGuardedCall(
        layout, elementType, kGeometries, kFactors,
        [&, interpolation = interpolation, elementType = elementType,
         layout = layout](const auto& c) {
            for (ResizeCoreFn core : test::AllCores()) {
                for (SimdLevel level : {SimdLevel::kAvx2, SimdLevel::kSse2}) {
                    LimitSimdLevel(level);
                    ASSERT_EQ(
                        core(c.src, c.g.srcWidth, c.g.srcHeight, c.srcStep, c.g.roiX, c.g.roiY,
                             c.g.roiWidth, c.g.roiHeight, c.dst, c.dstStep, c.dstWidth, c.dstHeight,
                             c.xFactor, c.yFactor, 0.0, 0.0, layout.pixelStride, layout.channels,
                             elementType, layout.planar, interpolation, 1),
                        kResizeOk);
                }
            }
        });
}

INSTANTIATE_TEST_SUITE_P(All, GuardPages,
                         ::testing::Combine(::testing::ValuesIn(test::kInterpolations),
                                            ::testing::ValuesIn(test::kElementTypes),
                                            ::testing::ValuesIn(test::kLayouts)),
                         [](const ::testing::TestParamInfo<Combination>& info) {
                             return std::string(test::InterpolationName(std::get<0>(info.param))) +
                                    test::ElementName(std::get<1>(info.param)) +
                                    std::get<2>(info.param).name;
                         });

}  // namespace
}  // namespace resize
