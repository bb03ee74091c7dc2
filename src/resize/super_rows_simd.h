#pragma once

// The whole-row sums of the supersampling kernels in builds V2 to V4. Build V2 adds float rows
// four at a time into the accumulator; builds V3 and V4 sum column strips of all rows in vector
// registers and store them. Both add each element's rows in the scalar order, so the results
// are the scalar ones, but for one case: V3 and V4 sum the last columns (count mod 16) of a
// one-channel float row in double precision and round once.

#include <cstdint>
#include <type_traits>

#include "resize/super_kernels.h"

namespace resize {

namespace simd {

// Sums `rows` rows of `count` consecutive elements into acc, which the caller has cleared.
void SumRowStrips(const uint8_t* src, int32_t srcStep, int64_t count, int32_t rows, uint64_t* acc);
void SumRowStrips(const uint16_t* src, int32_t srcStep, int64_t count, int32_t rows, uint64_t* acc);
void SumRowStrips(const float* src, int32_t srcStep, int64_t count, int32_t rows, float* acc,
                  bool doubleLeftovers);

// acc[e] += each row's element e, row after row, in single precision.
void AddRowsFourWide(const float* src, int32_t srcStep, int64_t count, int32_t rows, float* acc);

}  // namespace simd

struct V2SuperRows {
    template <class T, int Channels>
    static void SumRows(const T* src, int32_t srcStep, int32_t width, int32_t rows, int32_t stride,
                        SuperSumSlot<T>* acc) {
        if constexpr (std::is_same_v<T, float> && Channels != 3) {
            simd::AddRowsFourWide(src, srcStep, int64_t{width} * stride, rows, acc);
        } else {
            ScalarSuperRows::SumRows<T, Channels>(src, srcStep, width, rows, stride, acc);
        }
    }
};

// The nine kernels of builds V3 and V4, the common kernel's results from AVX2 code where the
// processor has it: 8-bit whole-step reductions whose cell means an integer multiply-shift gives
// exactly (checked against the double-precision store for every possible cell sum before the
// call uses it) run in 16-bit lanes; the others add rows and sum each pixel's cells in vectors
// with the common kernel's arithmetic. Without AVX2 they take the common kernel with these row
// sums.
template <class T, int Channels>
bool ResizeSuperVector(const SuperArgs& args);

// Three-channel pixels of four elements are summed whole: the fourth element lies inside the
// pixel and its slot is never read.
struct SimdSuperRows {
    template <class T, int Channels>
    static void SumRows(const T* src, int32_t srcStep, int32_t width, int32_t rows, int32_t stride,
                        SuperSumSlot<T>* acc) {
        const int64_t count = int64_t{width} * stride;
        if constexpr (std::is_same_v<T, float>) {
            simd::SumRowStrips(src, srcStep, count, rows, acc, Channels == 1);
        } else {
            simd::SumRowStrips(src, srcStep, count, rows, acc);
        }
    }
};

}  // namespace resize
