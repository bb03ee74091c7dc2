#pragma once

// The one general resize operation of the library, one copy per processor build: validates a
// call, clips the rectangle, derives the destination size from the factors, builds the offset
// and weight tables and runs one driver of the build's kernel table (once per plane).

#include <cstdint>

#include "resize/resize_build.h"

namespace resize {

// mode 1: the factors are destination-to-source size ratios; mode 0: they are source distances
// per destination pixel. planar: pSrc and pDst point to arrays of plane pointers (three planes
// when channels is 3, else four). Steps are in bytes. Returns a ResizeStatus.
using ResizeCoreFn = int32_t (*)(const void* pSrc, int32_t srcWidth, int32_t srcHeight,
                                 int32_t srcStep, int32_t roiX, int32_t roiY, int32_t roiWidth,
                                 int32_t roiHeight, void* pDst, int32_t dstStep, int32_t dstWidth,
                                 int32_t dstHeight, double xFactor, double yFactor, double xShift,
                                 double yShift, int32_t pixelStride, int32_t channels,
                                 int32_t elementType, int32_t planar, int32_t interpolation,
                                 int32_t mode);

extern const ResizeCoreFn ResizeCore;
extern const ResizeCoreFn ResizeCoreV2;
extern const ResizeCoreFn ResizeCoreV3;
extern const ResizeCoreFn ResizeCoreV4;

}  // namespace resize
