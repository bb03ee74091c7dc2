#include "resize/super_core.h"

#include <algorithm>
#include <cmath>

#include "resize/frame_resize.h"
#include "resize/resize_checks.h"
#include "resize/super_rows_simd.h"

namespace resize {
namespace {

template <class Rows>
constexpr SuperKernelTable MakeSuperKernels() {
    return {
        &ResizeSuperRows<Rows, uint8_t, 1>,  &ResizeSuperRows<Rows, uint16_t, 1>,
        &ResizeSuperRows<Rows, float, 1>,    &ResizeSuperRows<Rows, uint8_t, 3>,
        &ResizeSuperRows<Rows, uint16_t, 3>, &ResizeSuperRows<Rows, float, 3>,
        &ResizeSuperRows<Rows, uint8_t, 4>,  &ResizeSuperRows<Rows, uint16_t, 4>,
        &ResizeSuperRows<Rows, float, 4>,
    };
}

constexpr SuperKernelTable kVectorSuperKernels = {
    &ResizeSuperVector<uint8_t, 1>, &ResizeSuperVector<uint16_t, 1>, &ResizeSuperVector<float, 1>,
    &ResizeSuperVector<uint8_t, 3>, &ResizeSuperVector<uint16_t, 3>, &ResizeSuperVector<float, 3>,
    &ResizeSuperVector<uint8_t, 4>, &ResizeSuperVector<uint16_t, 4>, &ResizeSuperVector<float, 4>,
};

// Builds V1 to V4.
constexpr std::array<SuperKernelTable, 4> kSuperKernels = {
    MakeSuperKernels<ScalarSuperRows>(),
    MakeSuperKernels<V2SuperRows>(),
    kVectorSuperKernels,
    kVectorSuperKernels,
};

// Destination size on one axis: at most the whole cells the rectangle holds, and at least one.
int32_t ReducedSize(int32_t roiSize, int32_t asked, double factor) {
    const double cells = std::trunc(roiSize * factor + kSuperEpsilon);
    return cells < asked ? std::max(1, static_cast<int32_t>(cells)) : asked;
}

// The elements a kernel reads of each pixel must lie inside it: C1 pixels hold 1, C4 pixels 4,
// three-channel pixels 3 or 4.
bool PixelHoldsLayout(int32_t layout, int32_t pixelStride) {
    switch (layout) {
        case 0:
            return pixelStride == 1;
        case 2:
            return pixelStride == 4;
        default:
            return pixelStride == 3 || pixelStride == 4;
    }
}

bool HasFraction(double step) {
    return step - std::trunc(step) != 0.0;
}

}  // namespace

const SuperKernelTable& SuperKernelsOf(ResizeBuild build) {
    return kSuperKernels[static_cast<int32_t>(build) - 1];
}

template <ResizeBuild Build>
int32_t ResizeSuperCoreOf(const void* pSrc, int32_t srcWidth, int32_t srcHeight, int32_t srcStep,
                          int32_t roiX, int32_t roiY, int32_t roiWidth, int32_t roiHeight,
                          void* pDst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                          double xFactor, double yFactor, int32_t pixelStride, int32_t channels,
                          int32_t elementType, int32_t planar, int32_t /*mode*/) {
    if (const int32_t status =
            CheckResizeRequest(pSrc, srcWidth, srcHeight, srcStep, roiX, roiY, roiWidth, roiHeight,
                               pDst, dstStep, dstWidth, dstHeight);
        status != kResizeOk) {
        return status;
    }
    // Cells of less than one source pixel (or of no size at all) have no walk through the
    // source; the entry lets factors of 0 and below come this way.
    if (!(xFactor > 0.0 && xFactor <= 1.0 && yFactor > 0.0 && yFactor <= 1.0)) {
        return kResizeFactorError;
    }
    if (elementType < kElement8u || elementType > kElement32f) {
        return kResizeSizeError;
    }
    const int32_t layout = channels == 1 ? 0 : channels == 4 ? 2 : 1;
    const int32_t planes = planar == 0 ? 1 : (channels == 3 ? 3 : 4);
    if (planar == 0 && !PixelHoldsLayout(layout, pixelStride)) {
        return kResizeSizeError;
    }
    const int32_t elementBytes = 1 << elementType;
    if (srcStep % elementBytes != 0 || dstStep % elementBytes != 0) {
        return kResizeStepError;
    }
    const void* const* srcPlanes = planar == 0 ? &pSrc : static_cast<const void* const*>(pSrc);
    void* const* dstPlanes = planar == 0 ? &pDst : static_cast<void* const*>(pDst);
    for (int32_t p = 0; p < planes; ++p) {
        if (srcPlanes[p] == nullptr || dstPlanes[p] == nullptr) {
            return kResizeNullPointer;
        }
    }

    roiWidth = static_cast<int32_t>(std::min<int64_t>(roiWidth, int64_t{srcWidth} - roiX));
    roiHeight = static_cast<int32_t>(std::min<int64_t>(roiHeight, int64_t{srcHeight} - roiY));
    dstWidth = ReducedSize(roiWidth, dstWidth, xFactor);
    dstHeight = ReducedSize(roiHeight, dstHeight, yFactor);

    SuperArgs args{};
    args.srcStep = srcStep;
    args.dstStep = dstStep;
    args.dstWidth = dstWidth;
    args.dstHeight = dstHeight;
    args.xStep = 1.0 / xFactor;
    args.yStep = 1.0 / yFactor;
    args.norm = xFactor * yFactor;
    args.mode = (HasFraction(args.xStep) ? 2 : 0) + (HasFraction(args.yStep) ? 1 : 0);
    // The columns the cells of the destination reach, one to spare, within the rectangle.
    const double reach = std::trunc((dstWidth + 1.0) * args.xStep) + 1.0;
    args.srcWidth = reach < roiWidth ? static_cast<int32_t>(reach) : roiWidth;
    args.srcRows = roiHeight;
    args.pixelStride = planar == 0 ? pixelStride : 1;
    args.alloc32 = ResizeBuildKitOf(Build).alloc32;

    const int32_t kernelIndex = (planar == 0 ? layout : 0) * 3 + elementType;
    const SuperKernel kernel = SuperKernelsOf(Build)[kernelIndex];
    const int64_t originBytes =
        int64_t{roiY} * srcStep + int64_t{roiX} * args.pixelStride * elementBytes;
    for (int32_t p = 0; p < planes; ++p) {
        args.src = static_cast<const uint8_t*>(srcPlanes[p]) + originBytes;
        args.dst = dstPlanes[p];
        if (!kernel(args)) {
            return kResizeNoMemory;
        }
    }
    return kResizeOk;
}

#define RESIZE_INSTANTIATE_SUPER_CORE(build)                                               \
    template int32_t ResizeSuperCoreOf<build>(                                             \
        const void*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, void*, \
        int32_t, int32_t, int32_t, double, double, int32_t, int32_t, int32_t, int32_t, int32_t);
RESIZE_INSTANTIATE_SUPER_CORE(ResizeBuild::V1)
RESIZE_INSTANTIATE_SUPER_CORE(ResizeBuild::V2)
RESIZE_INSTANTIATE_SUPER_CORE(ResizeBuild::V3)
RESIZE_INSTANTIATE_SUPER_CORE(ResizeBuild::V4)
#undef RESIZE_INSTANTIATE_SUPER_CORE

}  // namespace resize
