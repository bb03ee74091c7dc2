// The kernels of builds V3 and V4: vector code where it pays, chosen at run time between AVX2
// and SSE2, and the scalar single-precision code of the same results elsewhere.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "resize/aligned_scratch.h"
#include "resize/cubic_kernels.h"
#include "resize/linear_kernels.h"
#include "resize/nearest_kernels.h"
#include "resize/simd_avx2.h"
#include "resize/simd_level.h"
#include "resize/simd_sse2.h"

namespace resize {
namespace {

bool ProcessorHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

std::atomic<bool> g_avx2Allowed{true};

bool UseAvx2() {
    return g_avx2Allowed.load(std::memory_order_relaxed) && ProcessorHasAvx2();
}

// The leading pixels whose offset lies `margin` or more below the row's last one. The offsets
// never decrease, so a read of a few elements past any of these pixels stays inside the pixels
// the row reads.
int32_t BelowLastOffset(const int32_t* offsets, int32_t width, int32_t margin = 1) {
    int32_t count = width;
    while (count > 0 && offsets[count - 1] > offsets[width - 1] - margin) {
        --count;
    }
    return count;
}

using ScalarLinear = ScalarLinearKernels<float>;
using V3Cubic = ScalarCubicKernels<CubicRules<ResizeBuild::V3>>;

}  // namespace

SimdLevel ActiveSimdLevel() {
    return UseAvx2() ? SimdLevel::kAvx2 : SimdLevel::kSse2;
}

void LimitSimdLevel(SimdLevel level) {
    g_avx2Allowed.store(level == SimdLevel::kAvx2, std::memory_order_relaxed);
}

// An enlarged packed 8u row in sixteen-byte blocks, each a byte shuffle of one sixteen-byte source
// window; the windows and shuffles depend on the column offsets alone, so they serve every row.
// Only the leading blocks whose bytes all come from their window, and whose window lies inside
// the bytes the row reads, are taken.
class ByteBlocks {
public:
    ByteBlocks(const int32_t* offsets, int32_t width) {
        const int32_t most = width * 3 / 16;
        bases_ = static_cast<int32_t*>(AlignedAlloc32(most));
        masks_ = static_cast<uint8_t*>(AlignedAlloc8(most * 16));
        if (bases_ == nullptr || masks_ == nullptr) {
            return;
        }
        const int32_t lastByte = offsets[width - 1] + 2;
        const auto source = [offsets](int32_t byte) { return offsets[byte / 3] + byte % 3; };
        for (; count_ < most; ++count_) {
            // The window starts at the first pixel's first byte: a block that begins inside a
            // pixel may take the next pixel from the same place.
            const int32_t first = count_ * 16;
            const int32_t base = offsets[first / 3];
            if (base + 15 > lastByte) {
                break;
            }
            int32_t b = 0;
            for (; b < 16 && source(first + b) - base <= 15; ++b) {
                masks_[first + b] = static_cast<uint8_t>(source(first + b) - base);
            }
            if (b < 16) {
                break;
            }
            bases_[count_] = base;
        }
    }
    ~ByteBlocks() {
        AlignedFree(bases_);
        AlignedFree(masks_);
    }
    ByteBlocks(const ByteBlocks&) = delete;
    ByteBlocks& operator=(const ByteBlocks&) = delete;

    // The pixels that the blocks leave to others (the first one maybe in part).
    int32_t FirstPixelAfter() const { return count_ * 16 / 3; }

    void Write(const uint8_t* s, uint8_t* d) const {
        simd::avx2::ShuffleBlocks(s, d, count_, bases_, masks_);
    }

private:
    int32_t* bases_ = nullptr;
    uint8_t* masks_ = nullptr;
    int32_t count_ = 0;
};

template <class T, int Elements>
void ResizeNearestRowsFast(const DriverArgs& args) {
    const T* src = static_cast<const T*>(args.src);
    const int32_t* offsets = args.colOffsets;
    T* row = static_cast<T*>(args.dst);
    const int32_t width = args.dstWidth;
    const int32_t advance = Elements == 3 ? args.pixelStride : Elements;
    // A row whose source row repeats the previous one is that row again: copied whole, unless
    // its pixels have elements that must keep their values (AC4) or rows overlap.
    const bool wholeRows = advance == Elements && args.dstStep >= int64_t{width} * advance;
    // Packed three-byte pixels move as four-byte words, the fourth byte landing where the next
    // pixel is written; pixels at the row's last offset, and so the row's last pixel, move alone.
    constexpr bool kPackedBytes = std::is_same_v<T, uint8_t> && Elements == 3;
    const bool packed = kPackedBytes && advance == 3 && width > 0;
    const int32_t worded = packed ? BelowLastOffset(offsets, width) : 0;
    std::optional<ByteBlocks> blocks;
    if (packed && UseAvx2()) {
        blocks.emplace(offsets, width);
    }
    const int32_t firstWord = blocks ? std::min(blocks->FirstPixelAfter(), worded) : 0;
    for (int32_t i = 0; i < args.dstHeight; ++i, row += args.dstStep) {
        if (i > 0 && wholeRows && args.rowOffsets[i] == args.rowOffsets[i - 1]) {
            std::memcpy(row, row - args.dstStep, sizeof(T) * width * advance);
            continue;
        }
        const T* s = src + args.rowOffsets[i];
        if constexpr (kPackedBytes) {
            if (blocks) {
                blocks->Write(s, row);
            }
            for (int32_t j = firstWord; j < worded; ++j) {
                std::memcpy(row + 3 * j, s + offsets[j], 4);
            }
        }
        T* d = row + int64_t{worded} * advance;
        // A pixel's elements move as one word.
        for (int32_t j = worded; j < width; ++j, d += advance) {
            std::memcpy(d, s + offsets[j], sizeof(T) * Elements);
        }
    }
}

template <class T, int Channels>
void SimdLinearKernels::RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                                  const LinearWeight<T>* weights, LinearBuffer<T>* out) {
    int32_t done = 0;
    if constexpr (std::is_same_v<T, uint8_t> && Channels == 3) {
        const int32_t vectorPixels = width > 0 ? BelowLastOffset(offsets, width) : 0;
        if (UseAvx2()) {
            done = vectorPixels & ~3;
            simd::avx2::LinearRow8u<3>(s, done, stride, offsets, weights, out);
        }
        if (stride == 3) {
            simd::LinearRow8uC3From<3>(done, s, vectorPixels, offsets, weights, out);
        } else {
            simd::LinearRow8uC3From<4>(done, s, vectorPixels, offsets, weights, out);
        }
        done = vectorPixels;
    } else if constexpr (std::is_same_v<T, uint8_t> && Channels == 4) {
        if (UseAvx2()) {
            done = width & ~3;
            simd::avx2::LinearRow8u<4>(s, done, 4, offsets, weights, out);
        }
    } else if constexpr (std::is_same_v<T, uint8_t> && Channels == 1) {
        if (UseAvx2() && width > 0) {
            done = simd::avx2::LinearRow8uC1(s, BelowLastOffset(offsets, width, 15), offsets,
                                             weights, out);
        }
    } else if constexpr (std::is_same_v<T, float> && Channels == 1) {
        if (UseAvx2() && width > 0) {
            done = simd::avx2::LinearRow32fC1(s, BelowLastOffset(offsets, width, 7), offsets,
                                              weights, out);
        }
    } else if constexpr (std::is_same_v<T, float>) {
        // Four elements are read from pixel n + stride: packed three-channel pixels at the last
        // offset stay scalar.
        done = Channels == 3 && stride == 3 && width > 0 ? BelowLastOffset(offsets, width) : width;
        simd::LinearRowPixels32f(s, done, stride, offsets, weights, out, Channels);
    }
    constexpr int32_t kWeightsPerPixel = std::is_same_v<T, float> ? 1 : 2;
    ScalarLinear::RowFilter<T, Channels>(s, width - done, stride, offsets + done,
                                         weights + kWeightsPerPixel * done, out + Channels * done);
}

template <class T>
void SimdLinearKernels::Column(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                               const LinearBuffer<T>* lower) {
    if (UseAvx2()) {
        simd::avx2::LinearBlend(d, count, w, upper, lower);
    } else {
        simd::LinearBlendFrom(0, d, count, w, upper, lower);
    }
}

template <class T>
void SimdLinearKernels::ColumnAc4(T* d, int32_t width, LinearWeight<T> w,
                                  const LinearBuffer<T>* upper, const LinearBuffer<T>* lower) {
    ScalarLinear::ColumnAc4<T>(d, width, w, upper, lower);
}

template <class T, int Channels>
void SimdCubicKernels::RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                                 const float* fractions, float* out) {
    int32_t done = 0;
    // Three- and four-channel rows use the four-wide coefficient for every pixel, so the vector
    // part may stop anywhere; a one-channel row's split is fixed by its width and stays scalar.
    if constexpr (std::is_same_v<T, uint8_t> && Channels != 1) {
        const int32_t vectorPixels =
            Channels == 3 && width > 0 ? BelowLastOffset(offsets, width) : width;
        if (UseAvx2()) {
            const bool packed = Channels == 3 && stride == 3 && width > 0;
            done = (packed ? BelowLastOffset(offsets, width, 4) : vectorPixels) & ~7;
            simd::avx2::CubicRow8u<Channels>(s, done, stride, offsets, fractions, out);
        }
        simd::CubicRow8uFrom<Channels>(done, s, vectorPixels, stride, offsets, fractions, out);
        done = vectorPixels;
    }
    V3Cubic::RowFilter<T, Channels>(s, width - done, stride, offsets + done, fractions + done,
                                    out + Channels * done);
}

template <class T>
void SimdCubicKernels::Column(T* d, int32_t count, float t, const float* w0, const float* w1,
                              const float* w2, const float* w3) {
    const int32_t fourWide = CubicRules<ResizeBuild::V3>::FourWideValues<T, false>(count);
    if (UseAvx2()) {
        simd::avx2::CubicColumn(d, count, fourWide, t, w0, w1, w2, w3);
    } else {
        simd::CubicColumnFrom(0, d, count, fourWide, t, w0, w1, w2, w3);
    }
}

template <class T>
void SimdCubicKernels::ColumnAc4(T* d, int32_t width, float t, const float* w0, const float* w1,
                                 const float* w2, const float* w3) {
    V3Cubic::ColumnAc4<T>(d, width, t, w0, w1, w2, w3);
}
#define RESIZE_INSTANTIATE_FOR_TYPE(T)                            \
    template void ResizeNearestRowsFast<T, 1>(const DriverArgs&); \
    template void ResizeNearestRowsFast<T, 3>(const DriverArgs&); \
    template void ResizeNearestRowsFast<T, 4>(const DriverArgs&);
RESIZE_INSTANTIATE_FOR_TYPE(uint8_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint16_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint32_t)
#undef RESIZE_INSTANTIATE_FOR_TYPE

#define RESIZE_INSTANTIATE_FOR_TYPE(T)                                                             \
    template void SimdLinearKernels::RowFilter<T, 1>(const T*, int32_t, int32_t, const int32_t*,   \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);    \
    template void SimdLinearKernels::RowFilter<T, 3>(const T*, int32_t, int32_t, const int32_t*,   \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);    \
    template void SimdLinearKernels::RowFilter<T, 4>(const T*, int32_t, int32_t, const int32_t*,   \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);    \
    template void SimdLinearKernels::Column<T>(T*, int32_t, LinearWeight<T>,                       \
                                               const LinearBuffer<T>*, const LinearBuffer<T>*);    \
    template void SimdLinearKernels::ColumnAc4<T>(T*, int32_t, LinearWeight<T>,                    \
                                                  const LinearBuffer<T>*, const LinearBuffer<T>*); \
    template void SimdCubicKernels::RowFilter<T, 1>(const T*, int32_t, int32_t, const int32_t*,    \
                                                    const float*, float*);                         \
    template void SimdCubicKernels::RowFilter<T, 3>(const T*, int32_t, int32_t, const int32_t*,    \
                                                    const float*, float*);                         \
    template void SimdCubicKernels::RowFilter<T, 4>(const T*, int32_t, int32_t, const int32_t*,    \
                                                    const float*, float*);                         \
    template void SimdCubicKernels::Column<T>(T*, int32_t, float, const float*, const float*,      \
                                              const float*, const float*);                         \
    template void SimdCubicKernels::ColumnAc4<T>(T*, int32_t, float, const float*, const float*,   \
                                                 const float*, const float*);
RESIZE_INSTANTIATE_FOR_TYPE(uint8_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint16_t)
RESIZE_INSTANTIATE_FOR_TYPE(float)
#undef RESIZE_INSTANTIATE_FOR_TYPE

}  // namespace resize
