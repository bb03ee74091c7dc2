#pragma once

// The linear drivers: walk the destination rows, keep the two filtered source rows that the
// current row lies between, and blend them. Kernels is the build's set of linear kernels.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "resize/linear_kernels.h"
#include "resize/resize_build.h"

namespace resize {

template <class Kernels, class T, bool MultiChannel>
void ResizeLinearRows(const DriverArgs& args) {
    using Buffer = LinearBuffer<T>;
    using Weight = LinearWeight<T>;
    if (args.dstHeight < 1) {
        return;
    }
    const T* src = static_cast<const T*>(args.src);
    const auto* colWeights = static_cast<const Weight*>(args.colWeights);
    const auto* rowWeights = static_cast<const Weight*>(args.rowWeights);
    const int32_t width = args.dstWidth;

    const auto filter = [&](std::ptrdiff_t offset, Buffer* out) {
        const T* row = src + offset;
        if constexpr (!MultiChannel) {
            Kernels::template RowFilter<T, 1>(row, width, 1, args.colOffsets, colWeights, out);
        } else if (args.channels == 3) {
            Kernels::template RowFilter<T, 3>(row, width, args.pixelStride, args.colOffsets,
                                              colWeights, out);
        } else {
            Kernels::template RowFilter<T, 4>(row, width, 4, args.colOffsets, colWeights, out);
        }
    };
    const auto blend = [&](T* d, Weight w, const Buffer* upper, const Buffer* lower) {
        if constexpr (!MultiChannel) {
            Kernels::Blend(d, width, w, upper, lower);
        } else if (args.pixelStride == args.channels) {
            Kernels::Blend(d, width * args.channels, w, upper, lower);
        } else {
            Kernels::BlendAc4(d, width, w, upper, lower);
        }
    };

    Buffer* upper = static_cast<Buffer*>(args.buffers[0]);
    Buffer* lower = static_cast<Buffer*>(args.buffers[1]);
    // Filtering the first pair's upper row before the loop lets the first row take the same path
    // as every later one; the core's first offset is always that row.
    const int64_t first = args.rowOffsets[0];
    filter(first, lower);
    int64_t lastOffset = first - 1;
    T* d = static_cast<T*>(args.dst);
    for (int32_t i = 0; i < args.dstHeight; ++i, d += args.dstStep) {
        const int64_t offset = args.rowOffsets[i];
        if (offset > lastOffset) {
            // The lower row of the previous pair is the upper row of this one when the pair
            // moved down by one source row.
            std::swap(upper, lower);
            filter(offset + args.srcStep, lower);
            if (offset > lastOffset + args.srcStep) {
                filter(offset, upper);
            }
            lastOffset = offset;
        }
        blend(d, rowWeights[i], upper, lower);
    }
}

}  // namespace resize
