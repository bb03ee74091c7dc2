#include <cstdint>

#include "resize/aligned_scratch.h"
#include "resize/cubic_drivers.h"
#include "resize/cubic_kernels.h"
#include "resize/lanczos_drivers.h"
#include "resize/lanczos_kernels.h"
#include "resize/lanczos_weights.h"
#include "resize/linear_drivers.h"
#include "resize/linear_kernels.h"
#include "resize/nearest_kernels.h"
#include "resize/resize_build.h"
#include "resize/super_core.h"

namespace resize {
namespace {

template <class T, int Elements, bool Fast>
constexpr ResizeDriver NearestCopier() {
    if constexpr (Fast) {
        return &ResizeNearestRowsFast<T, Elements>;
    } else {
        return &ResizeNearestRows<T, Elements>;
    }
}

template <class Lanczos, class Linear, class Cubic, bool FastNearest>
constexpr KernelTable MakeKernelTable() {
    return {
        // Lanczos, cubic and linear: multi-channel drivers for 8u, 16u, 32f, then one-channel
        // drivers.
        &ResizeLanczosRows<Lanczos, uint8_t, true>,
        &ResizeLanczosRows<Lanczos, uint16_t, true>,
        &ResizeLanczosRows<Lanczos, float, true>,
        &ResizeLanczosRows<Lanczos, uint8_t, false>,
        &ResizeLanczosRows<Lanczos, uint16_t, false>,
        &ResizeLanczosRows<Lanczos, float, false>,
        &ResizeCubicRows<Cubic, uint8_t, true>,
        &ResizeCubicRows<Cubic, uint16_t, true>,
        &ResizeCubicRows<Cubic, float, true>,
        &ResizeCubicRows<Cubic, uint8_t, false>,
        &ResizeCubicRows<Cubic, uint16_t, false>,
        &ResizeCubicRows<Cubic, float, false>,
        &ResizeLinearRows<Linear, uint8_t, true>,
        &ResizeLinearRows<Linear, uint16_t, true>,
        &ResizeLinearRows<Linear, float, true>,
        &ResizeLinearRows<Linear, uint8_t, false>,
        &ResizeLinearRows<Linear, uint16_t, false>,
        &ResizeLinearRows<Linear, float, false>,
        // Nearest: three-, one- and four-channel copiers; floats travel as 32-bit words so that
        // every bit pattern arrives unchanged.
        NearestCopier<uint8_t, 3, FastNearest>(),
        NearestCopier<uint16_t, 3, FastNearest>(),
        NearestCopier<uint32_t, 3, FastNearest>(),
        NearestCopier<uint8_t, 1, FastNearest>(),
        NearestCopier<uint16_t, 1, FastNearest>(),
        NearestCopier<uint32_t, 1, FastNearest>(),
        NearestCopier<uint8_t, 4, FastNearest>(),
        NearestCopier<uint16_t, 4, FastNearest>(),
        NearestCopier<uint32_t, 4, FastNearest>(),
    };
}

// V1 computes floats in double, V2 in single precision, V3 and V4 run the vector kernels.
constinit ResizeBuildKit g_kits[] = {
    {MakeKernelTable<ScalarLanczosKernels<LanczosRules<ResizeBuild::V1>>,
                     ScalarLinearKernels<double>, ScalarCubicKernels<CubicRules<ResizeBuild::V1>>,
                     false>(),
     &BuildLanczos3Weights<double>, ResizeSuperCore, &AlignedAlloc32},
    {MakeKernelTable<ScalarLanczosKernels<LanczosRules<ResizeBuild::V2>>,
                     ScalarLinearKernels<float>, ScalarCubicKernels<CubicRules<ResizeBuild::V2>>,
                     false>(),
     &BuildLanczos3Weights<float>, ResizeSuperCoreV2, &AlignedAlloc32},
    {MakeKernelTable<SimdLanczosKernels, SimdLinearKernels, SimdCubicKernels, true>(),
     &BuildLanczos3Weights<float>, ResizeSuperCoreV3, &AlignedAlloc32},
    {MakeKernelTable<SimdLanczosKernels, SimdLinearKernels, SimdCubicKernels, true>(),
     &BuildLanczos3Weights<float>, ResizeSuperCoreV4, &AlignedAlloc32V4},
};

}  // namespace

ResizeBuildKit& ResizeBuildKitOf(ResizeBuild build) {
    return g_kits[static_cast<int32_t>(build) - 1];
}

}  // namespace resize
