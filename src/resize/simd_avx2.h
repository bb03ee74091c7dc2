#pragma once

// The AVX2 kernels of builds V3 and V4, run only where the processor has AVX2. Each gives
// exactly the results of the SSE2 and scalar code it stands in for.

#include <cstdint>

#include "resize/linear_kernels.h"

namespace resize::simd::avx2 {

// Writes `blocks` sixteen-byte blocks of a destination row, block q from the sixteen source bytes
// at bases[q] through the byte shuffle masks[16 q .. 16 q + 15] (masks 16-byte aligned).
void ShuffleBlocks(const uint8_t* s, uint8_t* d, int32_t blocks, const int32_t* bases,
                   const uint8_t* masks);

// The linear row filter for the first count pixels (a multiple of four) of a three-channel
// (stride 3 or 4) or four-channel 8u row; reads eight bytes from each pixel n, so for three
// channels count must leave out every pixel at the row's last offset.
template <int Channels>
void LinearRow8u(const uint8_t* s, int32_t count, int32_t stride, const int32_t* offsets,
                 const uint16_t* weights, uint16_t* out);

// The linear row filter of a one-channel 8u row, eight pixels at a time from the start while
// each four pixels lie within sixteen bytes; returns the pixels done. Reads sixteen bytes from
// pixels n, so count must leave out every pixel within fourteen of the row's last offset.
int32_t LinearRow8uC1(const uint8_t* s, int32_t count, const int32_t* offsets,
                      const uint16_t* weights, uint16_t* out);

// The same for a one-channel float row, in single precision as the scalar kernel: while each
// four pixels lie within eight floats, and count must leave out every pixel within six of the
// row's last offset.
int32_t LinearRow32fC1(const float* s, int32_t count, const int32_t* offsets, const float* weights,
                       float* out);

template <class T>
void LinearBlend(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                 const LinearBuffer<T>* lower);

template <class T>
void CubicColumn(T* d, int32_t count, int32_t fourWide, float t, const float* w0, const float* w1,
                 const float* w2, const float* w3);

// The cubic row filter, every pixel with the four-wide coefficient, for the first count pixels
// of an 8u row of three (stride 3 or 4) or four channels; reads sixteen bytes from sample
// n - stride, so with packed three-byte pixels count must leave out every pixel within four
// bytes of the row's last offset.
template <int Channels>
void CubicRow8u(const uint8_t* s, int32_t count, int32_t stride, const int32_t* offsets,
                const float* fractions, float* out);

// The Lanczos column filter of 8u and 16u rows for the first count values (a multiple of 8):
// the six-term sum over rows[0] .. rows[5] in double precision in that order, + 1e-7, truncated
// and saturated to the type's range.
template <class T>
void LanczosColumn(T* d, int32_t count, const float* w, const float* const* rows);

}  // namespace resize::simd::avx2
