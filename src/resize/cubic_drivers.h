#pragma once

// The cubic drivers: walk the destination rows with a window of four filtered source rows
// (n' - 1 .. n' + 2 around the row's base row n'), rotating buffers rather than copying them so
// that every source row is filtered at most once while it stays in the window.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "resize/resize_build.h"
#include "resize/separable_layout.h"

namespace resize {

template <class Kernels, class T, bool MultiChannel>
void ResizeCubicRows(const DriverArgs& args) {
    const T* src = static_cast<const T*>(args.src);
    const auto* colFractions = static_cast<const float*>(args.colWeights);
    const auto* rowFractions = static_cast<const float*>(args.rowWeights);
    const int64_t step = args.srcStep;

    const auto filter = [&](int64_t offset, float* out) {
        FilterSourceRow<Kernels, T, MultiChannel>(args, src + static_cast<std::ptrdiff_t>(offset),
                                                  colFractions, out);
    };

    std::array<float*, 4> window;
    for (int b = 0; b < 4; ++b) {
        window[b] = static_cast<float*>(args.buffers[b]);
    }
    const int64_t first = args.rowOffsets[0];
    filter(first - step, window[1]);
    filter(first, window[2]);
    filter(first + step, window[3]);
    // One below the first offset, so that the first row advances the window by exactly one row.
    int64_t lastOffset = first - 1;
    T* d = static_cast<T*>(args.dst);
    for (int32_t i = 0; i < args.dstHeight; ++i, d += args.dstStep) {
        const int64_t offset = args.rowOffsets[i];
        const int64_t previous = lastOffset;
        if (offset > previous) {
            std::rotate(window.begin(), window.begin() + 1, window.end());
            filter(offset + 2 * step, window[3]);
            if (offset >= previous + 2 * step) {
                std::rotate(window.begin(), window.begin() + 1, window.begin() + 3);
                filter(offset + step, window[2]);
            }
            if (offset >= previous + 3 * step) {
                std::swap(window[0], window[1]);
                filter(offset, window[1]);
            }
            if (offset >= previous + 4 * step) {
                filter(offset - step, window[0]);
            }
            lastOffset = offset;
        }
        WriteDestinationRow<Kernels, MultiChannel>(
            args, d, rowFractions[i], static_cast<const float*>(window[0]),
            static_cast<const float*>(window[1]), static_cast<const float*>(window[2]),
            static_cast<const float*>(window[3]));
    }
}

}  // namespace resize
