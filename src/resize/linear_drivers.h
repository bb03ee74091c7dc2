#pragma once

// The linear drivers: walk the destination rows, keep the two filtered source rows that the
// current row lies between, and blend them. Kernels is the build's set of linear kernels.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "resize/linear_kernels.h"
#include "resize/resize_build.h"
#include "resize/separable_layout.h"

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
    const auto filter = [&](int64_t offset, Buffer* out) {
        FilterSourceRow<Kernels, T, MultiChannel>(args, src + static_cast<std::ptrdiff_t>(offset),
                                                  colWeights, out);
    };

    Buffer* upper = static_cast<Buffer*>(args.buffers[0]);
    Buffer* lower = static_cast<Buffer*>(args.buffers[1]);
    // Filtering the first pair's upper row before the loop lets the first destination row take
    // the same path as every later one, whichever source row the tables start on.
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
        WriteDestinationRow<Kernels, MultiChannel>(args, d, rowWeights[i],
                                                   static_cast<const Buffer*>(upper),
                                                   static_cast<const Buffer*>(lower));
    }
}

}  // namespace resize
