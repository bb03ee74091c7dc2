#pragma once

// What one processor build of the resize library is made of: its driver table, the pieces that
// other parts of the library plug in (supersampling, the Lanczos weights and drivers), and its
// scratch allocator. Internal to the library.

#include <array>
#include <cstdint>

namespace resize {

enum class ResizeBuild : int32_t { V1 = 1, V2 = 2, V3 = 3, V4 = 4 };

enum ElementType : int32_t { kElement8u = 0, kElement16u = 1, kElement32f = 2 };

// Everything a driver needs for one image or one plane. Steps and offsets count elements of the
// pixel type. Weight tables and buffers are typed by the interpolation (Q14 pairs, float
// fractions, six-tap weights); the driver of that interpolation knows which.
struct DriverArgs {
    const void* src;  // the rectangle's top-left element
    void* dst;
    int32_t srcStep;
    int32_t dstStep;
    int32_t dstWidth;
    int32_t dstHeight;
    const int32_t* rowOffsets;
    const int32_t* colOffsets;
    const void* rowWeights;
    const void* colWeights;
    std::array<void*, 6> buffers;
    // Only the Lanczos drivers look at these five.
    int32_t roiX;
    int32_t roiY;
    int32_t availWidth;
    int32_t availHeight;
    int32_t upscale;
    int32_t pixelStride;  // 0 for a plane of a planar image
    int32_t channels;     // 0 for a plane of a planar image
};

using ResizeDriver = void (*)(const DriverArgs& args);

// Four groups: Lanczos, cubic and linear hold the multi-channel drivers for 8u, 16u, 32f, then
// the one-channel drivers; nearest holds the three-channel, one-channel and four-channel copiers.
inline constexpr int kLanczosGroup = 0;
inline constexpr int kCubicGroup = 6;
inline constexpr int kLinearGroup = 12;
inline constexpr int kNearestGroup = 18;
using KernelTable = std::array<ResizeDriver, 27>;

using LanczosWeightBuilder = void (*)(const float* fractions, int32_t count, float* weights);

// The supersampling reduction; arguments as the core's, without shifts and interpolation.
using ResizeSuperCoreFn = int32_t (*)(const void* pSrc, int32_t srcWidth, int32_t srcHeight,
                                      int32_t srcStep, int32_t roiX, int32_t roiY, int32_t roiWidth,
                                      int32_t roiHeight, void* pDst, int32_t dstStep,
                                      int32_t dstWidth, int32_t dstHeight, double xFactor,
                                      double yFactor, int32_t pixelStride, int32_t channels,
                                      int32_t elementType, int32_t planar, int32_t mode);

struct ResizeBuildKit {
    // A null superCore or lanczosWeights makes the entry and the core refuse that mode (tests
    // take them out to see the refusal).
    KernelTable kernels;
    LanczosWeightBuilder lanczosWeights;
    ResizeSuperCoreFn superCore;
    void* (*alloc32)(int32_t n);
};

ResizeBuildKit& ResizeBuildKitOf(ResizeBuild build);

}  // namespace resize
