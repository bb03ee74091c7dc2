#pragma once

// The image-resize library's one entry for the rest of the program: scales a rectangle of a
// 24-bit picture (three interleaved 8-bit channels) into a destination rectangle.

#include <cstdint>

namespace resize {

struct ResizeSize {
    int32_t width;
    int32_t height;
};

struct ResizeRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Interpolation codes accepted by the entry.
enum ResizeInterpolation : int32_t {
    kInterNearest = 1,
    kInterLinear = 2,
    kInterCubic = 4,
    kInterSuper = 8,
    kInterLanczos = 16,
};

// Every operation of the library answers with one of these: 0 is success, negative values are
// errors after which the destination is untouched, positive values are warnings.
enum ResizeStatus : int32_t {
    kResizeOk = 0,
    kResizeOriginOutside = 29,  // the rectangle starts outside the source; nothing is written
    kResizeNoCpuId = 20,        // no usable processor identification; build V1 selected
    kResizeUnknownCpuType = 21,
    kResizeSizeError = -6,
    kResizeNullPointer = -8,
    kResizeNoMemory = -9,
    kResizeStepError = -14,
    kResizeInterpolationError = -22,
    kResizeFactorError = -23,
};

// Factors are destination size over source size. dstRoiSize is an upper bound: the library
// writes at most trunc(rectangle size x factor) pixels on each axis. Returns a ResizeStatus.
int32_t FrameResize_8u_C3R(const uint8_t* pSrc, ResizeSize srcSize, int32_t srcStep,
                           ResizeRect srcRoi, uint8_t* pDst, int32_t dstStep, ResizeSize dstRoiSize,
                           double xFactor, double yFactor, int32_t interpolation);

}  // namespace resize
