#pragma once

// The Lanczos drivers: walk the destination rows with a window of six filtered source rows
// (n - 2 .. n + 3 around the row's source row n, held to the image's first and last rows). A
// filtered row stays in its buffer for as long as any window needs it, so every source row is
// filtered at most once while it is in use; rows that a reduction jumps over are never read.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "resize/lanczos_kernels.h"
#include "resize/resize_build.h"
#include "resize/separable_layout.h"

namespace resize {

template <class Kernels, class T, bool MultiChannel>
void ResizeLanczosRows(const DriverArgs& args) {
    const T* src = static_cast<const T*>(args.src);
    const int64_t step = args.srcStep;
    const LanczosColumns columns{static_cast<const float*>(args.colWeights), args.roiX,
                                 args.availWidth};
    const auto* rowWeights = static_cast<const float*>(args.rowWeights);
    // Rows are counted from the rectangle's top row; these are the image's first and last.
    const int64_t firstRow = -int64_t{args.roiY};
    const int64_t lastRow = int64_t{args.availHeight} - 1;

    constexpr int64_t kNoRow = std::numeric_limits<int64_t>::min();
    std::array<float*, 6> buffers;
    std::array<int64_t, 6> held;  // the source row each buffer holds
    for (int b = 0; b < 6; ++b) {
        buffers[b] = static_cast<float*>(args.buffers[b]);
        held[b] = kNoRow;
    }
    std::array<const float*, 6> window{};

    // Points the window at rows n - 2 .. n + 3. A row already held is reused; an edge row that
    // stands for several taps is filtered once and shared by them.
    const auto moveWindow = [&](int64_t n) {
        std::array<int64_t, 6> wanted;
        for (int k = 0; k < 6; ++k) {
            wanted[k] = std::clamp(n - 2 + k, firstRow, lastRow);
        }
        const auto isWanted = [&](int64_t row) {
            return std::find(wanted.begin(), wanted.end(), row) != wanted.end();
        };
        for (int k = 0; k < 6; ++k) {
            const auto found = std::find(held.begin(), held.end(), wanted[k]);
            if (found != held.end()) {
                window[k] = buffers[found - held.begin()];
                continue;
            }
            // Six buffers always hold the at most six rows of one window, so a buffer whose row
            // has left the window is there.
            const auto spare = std::find_if_not(held.begin(), held.end(), isWanted);
            const std::size_t b = spare - held.begin();
            FilterSourceRow<Kernels, T, MultiChannel>(
                args, src + static_cast<std::ptrdiff_t>(wanted[k] * step), &columns, buffers[b]);
            held[b] = wanted[k];
            window[k] = buffers[b];
        }
    };

    int64_t current = kNoRow;
    T* d = static_cast<T*>(args.dst);
    for (int32_t i = 0; i < args.dstHeight; ++i, d += args.dstStep) {
        const int64_t n = args.rowOffsets[i] / step;
        if (n != current) {
            moveWindow(n);
            current = n;
        }
        WriteDestinationRow<Kernels, MultiChannel>(args, d, rowWeights + 6 * int64_t{i}, window[0],
                                                   window[1], window[2], window[3], window[4],
                                                   window[5]);
    }
}

}  // namespace resize
