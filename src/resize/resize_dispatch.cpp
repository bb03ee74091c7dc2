#include "resize/resize_dispatch.h"

#include <optional>

#include "resize/cpu_detection.h"
#include "resize/resize_core.h"

namespace resize {
namespace {

ResizeCoreFn CoreOf(ResizeBuild build) {
    switch (build) {
        case ResizeBuild::V1:
            return ResizeCore;
        case ResizeBuild::V2:
            return ResizeCoreV2;
        case ResizeBuild::V3:
            return ResizeCoreV3;
        default:
            return ResizeCoreV4;
    }
}

struct CpuTypeSlot {
    int32_t cpuType;
    int32_t slot;
};

constexpr std::array<CpuTypeSlot, 14> kCpuTypeSlots = {{
    {0, 1},
    {1, 1},
    {2, 1},
    {3, 1},
    {4, 1},
    {5, 2},
    {16, 2},
    {17, 2},
    {6, 3},
    {7, 3},
    {9, 3},
    {8, 4},
    {32, 4},
    {-1, 0},
}};

std::optional<int32_t> SlotForCpuType(int32_t cpuType) {
    for (const CpuTypeSlot& row : kCpuTypeSlots) {
        if (row.cpuType == cpuType) {
            return row.slot;
        }
    }
    return std::nullopt;
}

DispatchDescriptor* g_registrationHead = nullptr;

struct StaticRegistration {
    StaticRegistration() { RegisterResizeDispatch(); }
} g_staticRegistration;

}  // namespace

template <ResizeBuild Build>
int32_t ResizeEntryBody(const uint8_t* pSrc, ResizeSize srcSize, int32_t srcStep, ResizeRect srcRoi,
                        uint8_t* pDst, int32_t dstStep, ResizeSize dstRoiSize, double xFactor,
                        double yFactor, int32_t interpolation) {
    // Factors of zero or below (and not-a-number) go to the core, which refuses them with
    // kResizeFactorError: the supersampling reduction does not check its factors.
    if (interpolation == kInterSuper && xFactor > 0.0 && xFactor <= 1.0 && yFactor > 0.0 &&
        yFactor <= 1.0) {
        const ResizeSuperCoreFn super = ResizeBuildKitOf(Build).superCore;
        if (super == nullptr) {
            return kResizeInterpolationError;
        }
        return super(pSrc, srcSize.width, srcSize.height, srcStep, srcRoi.x, srcRoi.y, srcRoi.width,
                     srcRoi.height, pDst, dstStep, dstRoiSize.width, dstRoiSize.height, xFactor,
                     yFactor, 3, 3, kElement8u, 0, 1);
    }
    return CoreOf(Build)(pSrc, srcSize.width, srcSize.height, srcStep, srcRoi.x, srcRoi.y,
                         srcRoi.width, srcRoi.height, pDst, dstStep, dstRoiSize.width,
                         dstRoiSize.height, xFactor, yFactor, 0.0, 0.0, 3, 3, kElement8u, 0,
                         interpolation, 1);
}

#define RESIZE_INSTANTIATE_ENTRY_BODY(build)                                                 \
    template int32_t ResizeEntryBody<build>(const uint8_t*, ResizeSize, int32_t, ResizeRect, \
                                            uint8_t*, int32_t, ResizeSize, double, double,   \
                                            int32_t);
RESIZE_INSTANTIATE_ENTRY_BODY(ResizeBuild::V1)
RESIZE_INSTANTIATE_ENTRY_BODY(ResizeBuild::V2)
RESIZE_INSTANTIATE_ENTRY_BODY(ResizeBuild::V3)
RESIZE_INSTANTIATE_ENTRY_BODY(ResizeBuild::V4)
#undef RESIZE_INSTANTIATE_ENTRY_BODY

const std::array<ResizeEntryFn, 6> ResizeDispatchTable = {
    nullptr,
    &ResizeEntryBody<ResizeBuild::V1>,
    &ResizeEntryBody<ResizeBuild::V2>,
    &ResizeEntryBody<ResizeBuild::V3>,
    &ResizeEntryBody<ResizeBuild::V4>,
    nullptr,
};

std::atomic<int32_t> ResizeDispatchIndex{1};

DispatchDescriptor ResizeDispatchDescriptor = {"i", "FrameResize_8u_C3R",
                                               ResizeDispatchTable.data(), nullptr};

DispatchDescriptor* PushDispatchDescriptor(DispatchDescriptor* descriptor) {
    DispatchDescriptor* previous = g_registrationHead;
    g_registrationHead = descriptor;
    return previous;
}

DispatchDescriptor* DispatchRegistrationHead() {
    return g_registrationHead;
}

void RegisterResizeDispatch() {
    ResizeDispatchDescriptor.next = PushDispatchDescriptor(&ResizeDispatchDescriptor);
}

int32_t SelectResizeVariantForCpu(int32_t cpuType) {
    const std::optional<int32_t> slot = SlotForCpuType(cpuType);
    if (!slot) {
        return kResizeUnknownCpuType;
    }
    ResizeDispatchIndex.store(*slot, std::memory_order_relaxed);
    return kResizeOk;
}

int32_t ResizeStaticInit() {
    // Codes outside the table, and the empty slot, leave build V1 in charge.
    const int32_t slot = SlotForCpuType(GetCpuType()).value_or(1);
    ResizeDispatchIndex.store(slot == 0 ? 1 : slot, std::memory_order_relaxed);
    if (IsCpuidAvailable() == 0 || IsResizeCpuVendor() == 0) {
        ResizeDispatchIndex.store(1, std::memory_order_relaxed);
        return kResizeNoCpuId;
    }
    return kResizeOk;
}

int32_t FrameResize_8u_C3R(const uint8_t* pSrc, ResizeSize srcSize, int32_t srcStep,
                           ResizeRect srcRoi, uint8_t* pDst, int32_t dstStep, ResizeSize dstRoiSize,
                           double xFactor, double yFactor, int32_t interpolation) {
    ResizeEntryFn body = ResizeDispatchTable[ResizeDispatchIndex.load(std::memory_order_relaxed)];
    // The empty slot 0 (processor-type code -1) must not be jumped through; build V1 runs on
    // every processor, so it serves instead.
    if (body == nullptr) {
        body = ResizeDispatchTable[1];
    }
    return body(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor,
                interpolation);
}

}  // namespace resize
