#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "resize_test_support.h"

namespace resize {
namespace {

using test::Layout;
using test::Picture;
using test::Scaling;

using Combination = std::tuple<int32_t, int32_t, Layout>;  // interpolation, element type, layout

std::string CombinationName(const ::testing::TestParamInfo<Combination>& info) {
    return std::string(test::InterpolationName(std::get<0>(info.param))) +
           test::ElementName(std::get<1>(info.param)) + std::get<2>(info.param).name;
}

const auto kAllCombinations = ::testing::Combine(::testing::ValuesIn(test::kInterpolations),
                                                 ::testing::ValuesIn(test::kElementTypes),
                                                 ::testing::ValuesIn(test::kLayouts));

constexpr std::array<std::pair<double, double>, 5> kFactors = {
    {{2.5, 1.5}, {0.4, 0.7}, {1.0, 1.0}, {3.0, 0.3}, {0.9, 5.2}}};

float FloatAt(const std::vector<uint8_t>& plane, std::size_t element) {
    float f;
    std::memcpy(&f, &plane[element * 4], 4);
    return f;
}

uint32_t ElementAt(const std::vector<uint8_t>& plane, std::size_t element, int32_t elementType) {
    uint32_t v = 0;
    std::memcpy(&v, &plane[element * test::ElementBytes(elementType)],
                test::ElementBytes(elementType));
    return v;
}

// True for the elements a resize writes: every element but the fourth of an AC4 pixel.
bool IsChannel(const Layout& layout, std::size_t element) {
    return !(layout.pixelStride == 4 && layout.channels == 3 && element % 4 == 3);
}

class Invariants : public ::testing::TestWithParam<Combination> {
protected:
    int32_t interpolation() const { return std::get<0>(GetParam()); }
    int32_t elementType() const { return std::get<1>(GetParam()); }
    const Layout& layout() const { return std::get<2>(GetParam()); }
    std::size_t Elements(const std::vector<uint8_t>& plane) const {
        return plane.size() / test::ElementBytes(elementType());
    }
};

// Lanczos weights are not normalised: between samples they sum to as little as 0.99430 on each
// axis, so a constant c comes out as low as 0.98863 c, truncated.
TEST_P(Invariants, AConstantImageStaysConstant) {
    const double darkening = interpolation() == kInterLanczos ? 0.0114 : 0.0;
    Picture src(layout(), elementType(), 11, 9, 0);
    const uint32_t constant = elementType() == kElement8u    ? 173u
                              : elementType() == kElement16u ? 40000u
                                                             : std::bit_cast<uint32_t>(0.75f);
    for (auto& plane : src.planes) {
        for (std::size_t e = 0; e < Elements(plane); ++e) {
            // The fourth element of an AC4 pixel must not leak into the result.
            const uint32_t v = IsChannel(layout(), e) ? constant : 0x3F000000u;
            std::memcpy(&plane[e * test::ElementBytes(elementType())], &v,
                        test::ElementBytes(elementType()));
        }
    }
    for (ResizeCoreFn core : test::AllCores()) {
        for (const auto& [xFactor, yFactor] : kFactors) {
            Picture dst;
            ASSERT_EQ(test::ResizePicture(core, layout(), elementType(), src,
                                          {xFactor, yFactor, interpolation()}, dst),
                      kResizeOk);
            for (const auto& plane : dst.planes) {
                for (std::size_t e = 0; e < Elements(plane); ++e) {
                    if (!IsChannel(layout(), e)) {
                        ASSERT_EQ(ElementAt(plane, e, elementType()),
                                  0xEEEEEEEEu >> (32 - 8 * test::ElementBytes(elementType())));
                    } else if (elementType() == kElement32f) {
                        // a (1 - f) + a f need not give a back in single precision.
                        ASSERT_LE(FloatAt(plane, e), 0.75f + 1e-7);
                        ASSERT_GE(FloatAt(plane, e), 0.75f * (1.0 - darkening) - 1e-7);
                    } else {
                        const uint32_t v = ElementAt(plane, e, elementType());
                        ASSERT_LE(v, constant) << e;
                        ASSERT_GE(v, std::floor(constant * (1.0 - darkening))) << e;
                    }
                }
            }
        }
    }
}

// Exact for integer samples, with one exception that the single-precision builds carry: their
// cubic row filters replace the division by 3 with the single 0x3EAAAAAA where they run four
// wide (every pixel of a three- or four-channel row in V3 and V4), which leaves the last column
// (fraction 2) a few units in the last place short; where the column filter then truncates
// instead of rounding, that column can come out one below the source.
TEST_P(Invariants, FactorOneReproducesTheSource) {
    const Picture src = test::RandomPicture(layout(), elementType(), 13, 7, 21);
    for (std::size_t build = 0; build < 4; ++build) {
        const ResizeCoreFn core = test::AllCores()[build];
        const bool lastColumnMayFallShort = build > 0 && interpolation() == kInterCubic;
        Picture dst;
        ASSERT_EQ(test::ResizePicture(core, layout(), elementType(), src,
                                      {1.0, 1.0, interpolation()}, dst),
                  kResizeOk);
        for (std::size_t p = 0; p < src.planes.size(); ++p) {
            for (std::size_t e = 0; e < Elements(src.planes[p]); ++e) {
                if (!IsChannel(layout(), e)) {
                    continue;
                }
                const std::size_t pixelsPerRow = src.width;
                const std::size_t elementsPerPixel = layout().ElementsPerPixel();
                const bool lastColumn = e / elementsPerPixel % pixelsPerRow == pixelsPerRow - 1;
                if (elementType() == kElement32f && interpolation() != kInterNearest) {
                    // a + (b - a) can differ from b in the last bits.
                    ASSERT_NEAR(FloatAt(dst.planes[p], e), FloatAt(src.planes[p], e), 1e-3);
                } else if (lastColumn && lastColumnMayFallShort) {
                    const int64_t expected = ElementAt(src.planes[p], e, elementType());
                    const int64_t actual = ElementAt(dst.planes[p], e, elementType());
                    ASSERT_LE(expected - actual, 1);
                    ASSERT_GE(expected - actual, 0);
                } else {
                    ASSERT_EQ(ElementAt(dst.planes[p], e, elementType()),
                              ElementAt(src.planes[p], e, elementType()));
                }
            }
        }
    }
}

// Nearest neighbour and 8u/16u linear give one result in every build; V3 and V4 are one code;
// the single-precision linear kernels of V2 compute what those of V3 and V4 compute.
TEST_P(Invariants, BuildsAgreeWhereTheyShareTheirArithmetic) {
    const Picture src = test::RandomPicture(layout(), elementType(), 23, 17, 77);
    const bool allAgree = interpolation() == kInterNearest ||
                          (interpolation() == kInterLinear && elementType() != kElement32f);
    // The Lanczos filters of V2, V3 and V4 treat floats alike: single precision throughout.
    const bool v2AgreesWithV3 = interpolation() == kInterLinear ||
                                (interpolation() == kInterLanczos && elementType() == kElement32f);
    for (const auto& [xFactor, yFactor] : kFactors) {
        const Scaling scaling{xFactor, yFactor, interpolation()};
        std::array<Picture, 4> results;
        for (std::size_t b = 0; b < 4; ++b) {
            ASSERT_EQ(test::ResizePicture(test::AllCores()[b], layout(), elementType(), src,
                                          scaling, results[b]),
                      kResizeOk);
        }
        EXPECT_EQ(results[2], results[3]);
        if (v2AgreesWithV3) {
            EXPECT_EQ(results[1], results[2]);
        }
        if (allAgree) {
            EXPECT_EQ(results[0], results[1]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, Invariants, kAllCombinations, CombinationName);

// The vector copiers of packed 8-bit pixels work in blocks and words whose ends fall anywhere in
// a row: every width up to 48, enlarged and reduced, gives build V1's pixels.
TEST(NearestBuilds, AgreeAtEveryWidth) {
    const Layout packed = test::kLayouts[1];
    for (int32_t width = 1; width <= 48; ++width) {
        const Picture src = test::RandomPicture(packed, kElement8u, width, 3, width);
        for (const double xFactor : {1.0, 1.3, 2.5, 5.0, 0.7, 0.37}) {
            const Scaling scaling{xFactor, 1.5, kInterNearest};
            Picture expected;
            Picture actual;
            ASSERT_EQ(test::ResizePicture(ResizeCore, packed, kElement8u, src, scaling, expected),
                      kResizeOk);
            ASSERT_EQ(test::ResizePicture(ResizeCoreV4, packed, kElement8u, src, scaling, actual),
                      kResizeOk);
            EXPECT_EQ(expected, actual) << "width " << width << " factor " << xFactor;
        }
    }
}

using PlanarInvariants = Invariants;

// A planar image is resized plane by plane, each plane as a one-channel image.
TEST_P(PlanarInvariants, PlanesAreResizedLikeOneChannelImages) {
    const Picture src = test::RandomPicture(layout(), elementType(), 19, 11, 5);
    const Layout single = test::kLayouts[0];
    for (ResizeCoreFn core : test::AllCores()) {
        Picture dst;
        const Scaling scaling{1.7, 0.6, interpolation()};
        ASSERT_EQ(test::ResizePicture(core, layout(), elementType(), src, scaling, dst), kResizeOk);
        for (std::size_t p = 0; p < src.planes.size(); ++p) {
            Picture plane(single, elementType(), src.width, src.height, 0);
            plane.planes[0] = src.planes[p];
            Picture planeDst;
            ASSERT_EQ(test::ResizePicture(core, single, elementType(), plane, scaling, planeDst),
                      kResizeOk);
            EXPECT_EQ(planeDst.planes[0], dst.planes[p]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Planar, PlanarInvariants,
                         ::testing::Combine(::testing::ValuesIn(test::kInterpolations),
                                            ::testing::ValuesIn(test::kElementTypes),
                                            ::testing::Values(test::kLayouts[4],
                                                              test::kLayouts[5])),
                         CombinationName);

}  // namespace
}  // namespace resize
