#pragma once

// Six-tap Lanczos arithmetic. A row filter resamples one source row into a float row buffer of
// plain sums (neither rounded nor clamped: the kernel's negative lobes overshoot at edges); a
// column filter combines six such buffers, tap 0 topmost, into one destination row.
//
// Every sum runs in tap order as one chain, a tap that the image's edge folds onto the same pixel
// as another still being its own product. The builds differ only in the precision of the chains,
// and the differences are part of their results: V1 sums in double throughout; V2 in single
// precision throughout; V3 and V4 filter rows in single precision and sum the columns of integer
// images in double, of float images in single precision. Integer results are the sum plus 1e-7,
// truncated toward zero and saturated to the type's range.

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "resize/cubic_kernels.h"
#include "resize/resize_build.h"

namespace resize {

template <ResizeBuild Build>
struct LanczosRules {
    using RowReal = std::conditional_t<Build == ResizeBuild::V1, double, float>;
    template <class T>
    using ColumnReal =
        std::conditional_t<std::is_same_v<T, float> || Build == ResizeBuild::V2, RowReal, double>;
};

// What a row filter needs of the destination columns besides their offsets: six weights per
// column, and how many source pixels exist left of the row pointer (left) and from it to the
// image's right edge (right).
struct LanczosColumns {
    const float* weights;
    int32_t left;
    int32_t right;
};

// Where tap k of a pixel at a given offset lies, in elements, held to the image's pixels
// -left .. right - 1. Offsets are whole pixels, so no division is needed.
struct LanczosTapLimits {
    int64_t stride;
    int64_t low;
    int64_t high;

    LanczosTapLimits(const LanczosColumns& columns, int32_t pixelStride)
        : stride(pixelStride),
          low(-int64_t{columns.left} * pixelStride),
          high((int64_t{columns.right} - 1) * pixelStride) {}

    int64_t Tap(int32_t offset, int k) const {
        return std::clamp<int64_t>(offset + (k - 2) * stride, low, high);
    }
};

template <class Rules>
struct ScalarLanczosKernels {
    // Channels 1, 3 or 4; neighbouring source pixels lie stride elements apart. Each tap is held
    // to the image's pixels -left .. right - 1, whatever the offsets, so that no offset table
    // can make a row filter read outside the image.
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const LanczosColumns* columns, float* out) {
        using Real = typename Rules::RowReal;
        const LanczosTapLimits limits(*columns, stride);
        for (int32_t j = 0; j < width; ++j) {
            const float* w = columns->weights + 6 * int64_t{j};
            const T* tap[6];
            for (int k = 0; k < 6; ++k) {
                tap[k] = s + limits.Tap(offsets[j], k);
            }
            for (int c = 0; c < Channels; ++c) {
                Real acc = Real(w[0]) * Real(tap[0][c]);
                for (int k = 1; k < 6; ++k) {
                    acc = acc + Real(w[k]) * Real(tap[k][c]);
                }
                out[j * Channels + c] = static_cast<float>(acc);
            }
        }
    }

    template <class T>
    static void Column(T* d, int32_t count, const float* w, const float* b0, const float* b1,
                       const float* b2, const float* b3, const float* b4, const float* b5) {
        for (int32_t v = 0; v < count; ++v) {
            d[v] = Value<T>(w, v, b0, b1, b2, b3, b4, b5);
        }
    }

    // Three buffered values per pixel into four-element pixels whose fourth element is kept.
    template <class T>
    static void ColumnAc4(T* d, int32_t width, const float* w, const float* b0, const float* b1,
                          const float* b2, const float* b3, const float* b4, const float* b5) {
        for (int32_t v = 0; v < 3 * width; ++v) {
            d[4 * (v / 3) + v % 3] = Value<T>(w, v, b0, b1, b2, b3, b4, b5);
        }
    }

    template <class T>
    static T Value(const float* w, int32_t v, const float* b0, const float* b1, const float* b2,
                   const float* b3, const float* b4, const float* b5) {
        using Real = typename Rules::template ColumnReal<T>;
        Real acc = Real(b0[v]) * Real(w[0]);
        acc = acc + Real(b1[v]) * Real(w[1]);
        acc = acc + Real(b2[v]) * Real(w[2]);
        acc = acc + Real(b3[v]) * Real(w[3]);
        acc = acc + Real(b4[v]) * Real(w[4]);
        acc = acc + Real(b5[v]) * Real(w[5]);
        return ConvertTruncating<T>(static_cast<double>(acc));
    }
};

// Builds V3 and V4: vector code with the results of ScalarLanczosKernels<LanczosRules<V3>>,
// whose code serves the rest.
struct SimdLanczosKernels {
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const LanczosColumns* columns, float* out);
    template <class T>
    static void Column(T* d, int32_t count, const float* w, const float* b0, const float* b1,
                       const float* b2, const float* b3, const float* b4, const float* b5);
    template <class T>
    static void ColumnAc4(T* d, int32_t width, const float* w, const float* b0, const float* b1,
                          const float* b2, const float* b3, const float* b4, const float* b5) {
        ScalarLanczosKernels<LanczosRules<ResizeBuild::V3>>::ColumnAc4<T>(d, width, w, b0, b1, b2,
                                                                          b3, b4, b5);
    }
};

}  // namespace resize
