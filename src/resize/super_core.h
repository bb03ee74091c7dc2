#pragma once

// The supersampling reduction's driver, one copy per processor build: validates a call, clips
// the rectangle, derives the destination size, the cell geometry and the kernel, and runs the
// kernel once (once per plane for planar images). Internal to the library; the entry reaches it
// through the build's kit.

#include <array>
#include <cstdint>

#include "resize/resize_build.h"
#include "resize/super_kernels.h"

namespace resize {

// Layout codes 1 and 4 select the one- and four-channel kernels; any other selects the
// three-channel kernel, whose pixels are pixelStride (3 or 4) elements apart. Besides the
// checks every resize operation makes, factors outside (0, 1] give kResizeFactorError, a layout
// or element type without kernels kResizeSizeError, a step that is no whole number of elements
// kResizeStepError and a missing accumulator row kResizeNoMemory.
template <ResizeBuild Build>
int32_t ResizeSuperCoreOf(const void* pSrc, int32_t srcWidth, int32_t srcHeight, int32_t srcStep,
                          int32_t roiX, int32_t roiY, int32_t roiWidth, int32_t roiHeight,
                          void* pDst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                          double xFactor, double yFactor, int32_t pixelStride, int32_t channels,
                          int32_t elementType, int32_t planar, int32_t mode);

inline constexpr ResizeSuperCoreFn ResizeSuperCore = &ResizeSuperCoreOf<ResizeBuild::V1>;
inline constexpr ResizeSuperCoreFn ResizeSuperCoreV2 = &ResizeSuperCoreOf<ResizeBuild::V2>;
inline constexpr ResizeSuperCoreFn ResizeSuperCoreV3 = &ResizeSuperCoreOf<ResizeBuild::V3>;
inline constexpr ResizeSuperCoreFn ResizeSuperCoreV4 = &ResizeSuperCoreOf<ResizeBuild::V4>;

// A build's nine kernels: one-, three- and four-channel, each for 8u, 16u, 32f.
using SuperKernelTable = std::array<SuperKernel, 9>;
const SuperKernelTable& SuperKernelsOf(ResizeBuild build);

}  // namespace resize
