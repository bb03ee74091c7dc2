#pragma once

// The checks every resize operation makes first, in this order, the first failure answered:
// images, source size, steps, rectangle, its origin inside the source, destination size.
// Internal to the library.

#include <cstdint>

#include "resize/frame_resize.h"

namespace resize {

inline int32_t CheckResizeRequest(const void* pSrc, int32_t srcWidth, int32_t srcHeight,
                                  int32_t srcStep, int32_t roiX, int32_t roiY, int32_t roiWidth,
                                  int32_t roiHeight, const void* pDst, int32_t dstStep,
                                  int32_t dstWidth, int32_t dstHeight) {
    if (pSrc == nullptr || pDst == nullptr) {
        return kResizeNullPointer;
    }
    if (srcWidth < 1 || srcHeight < 1) {
        return kResizeSizeError;
    }
    if (srcStep < 1 || dstStep < 1) {
        return kResizeStepError;
    }
    if (roiX < 0 || roiY < 0 || roiWidth < 1 || roiHeight < 1) {
        return kResizeSizeError;
    }
    if (roiX >= srcWidth || roiY >= srcHeight) {
        return kResizeOriginOutside;
    }
    if (dstWidth < 1 || dstHeight < 1) {
        return kResizeSizeError;
    }
    return kResizeOk;
}

}  // namespace resize
