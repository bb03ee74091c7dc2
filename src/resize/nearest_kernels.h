#pragma once

// Nearest-neighbour copiers: for every destination pixel, the elements of the source pixel that
// the core's offset tables chose. Pure copying; 32-bit floats travel as 32-bit words so that
// every bit pattern arrives unchanged.

#include <cstdint>

#include "resize/resize_build.h"

namespace resize {

// The copiers of builds V1 and V2: one load and one store per element. Elements is 3 for the
// three-channel copier (destination pixels pixelStride apart, so AC4 keeps its fourth element),
// 1 for one channel and 4 for four.
template <class T, int Elements>
void ResizeNearestRows(const DriverArgs& args) {
    const T* src = static_cast<const T*>(args.src);
    T* row = static_cast<T*>(args.dst);
    const int32_t advance = Elements == 3 ? args.pixelStride : Elements;
    for (int32_t i = 0; i < args.dstHeight; ++i, row += args.dstStep) {
        const T* s = src + args.rowOffsets[i];
        T* d = row;
        for (int32_t j = 0; j < args.dstWidth; ++j, d += advance) {
            const T* p = s + args.colOffsets[j];
            for (int e = 0; e < Elements; ++e) {
                d[e] = p[e];
            }
        }
    }
}

// The copiers of builds V3 and V4: the same results, with destination rows that repeat the
// previous row's source row copied whole, and packed 8-bit pixels moved by byte shuffles (where
// the processor has AVX2) and four-byte words.
template <class T, int Elements>
void ResizeNearestRowsFast(const DriverArgs& args);

}  // namespace resize
