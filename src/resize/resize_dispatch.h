#pragma once

// The entry's dispatch over the four processor builds. The index starts at 1 and the program
// never changes it, so build V1 serves every call; the selection operations exist for callers
// that want the build of their processor.

#include <array>
#include <atomic>
#include <cstdint>

#include "resize/frame_resize.h"
#include "resize/resize_build.h"

namespace resize {

using ResizeEntryFn = int32_t (*)(const uint8_t* pSrc, ResizeSize srcSize, int32_t srcStep,
                                  ResizeRect srcRoi, uint8_t* pDst, int32_t dstStep,
                                  ResizeSize dstRoiSize, double xFactor, double yFactor,
                                  int32_t interpolation);

// One body per build. Supersampling (code 8 with both factors in (0, 1]) goes to the build's
// supersampling reduction; everything else, an enlarging code 8 included, to the build's core.
template <ResizeBuild Build>
int32_t ResizeEntryBody(const uint8_t* pSrc, ResizeSize srcSize, int32_t srcStep, ResizeRect srcRoi,
                        uint8_t* pDst, int32_t dstStep, ResizeSize dstRoiSize, double xFactor,
                        double yFactor, int32_t interpolation);

// Slot 0 is empty, slots 1 to 4 hold the bodies of V1 to V4, a null slot ends the table.
extern const std::array<ResizeEntryFn, 6> ResizeDispatchTable;
extern std::atomic<int32_t> ResizeDispatchIndex;

struct DispatchDescriptor {
    const char* kind;
    const char* name;
    const ResizeEntryFn* table;
    DispatchDescriptor* next;
};

// Registered once at start-up; the list is kept for whoever wants to enumerate the library's
// dispatched entries.
extern DispatchDescriptor ResizeDispatchDescriptor;
DispatchDescriptor* PushDispatchDescriptor(DispatchDescriptor* descriptor);
DispatchDescriptor* DispatchRegistrationHead();
void RegisterResizeDispatch();

// Sets the index from a processor-type code: 0 on success, kResizeUnknownCpuType (index left
// alone) for a code outside the table.
int32_t SelectResizeVariantForCpu(int32_t cpuType);

// Sets the index from the running processor: 0, or kResizeNoCpuId with build V1 selected.
int32_t ResizeStaticInit();

}  // namespace resize
