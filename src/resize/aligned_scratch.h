#pragma once

// Short-lived work blocks of the resize library (offset and weight tables, row buffers). Every
// block starts on a 32-byte boundary so that the vector kernels may use aligned loads and stores.

#include <cstdint>

namespace resize {

// Each returns a block of n elements of 4, 4, 2 or 1 bytes, or null when n < 1, when the request
// (with its header) would not fit in 32 bits, or when the heap refuses. Contents are undefined.
void* AlignedAlloc32(int32_t n);
void* AlignedAlloc32V4(int32_t n);  // build V4's own copy
void* AlignedAlloc16(int32_t n);
void* AlignedAlloc8(int32_t n);

// Releases a block from any of the allocations above; null is ignored.
void AlignedFree(void* p);

}  // namespace resize
