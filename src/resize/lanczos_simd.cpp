// The Lanczos kernels of builds V3 and V4 that run vector code, each lane doing the scalar
// chain's operations in its order, so that the results are those of
// ScalarLanczosKernels<LanczosRules<V3>>: the float column filter four values per step, the
// integer column filters four (SSE2) or eight (AVX2) values per step in double precision, and
// the three- and four-channel 8u row filters one pixel's channels per step.

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "resize/lanczos_kernels.h"
#include "resize/simd_avx2.h"
#include "resize/simd_level.h"
#include "resize/simd_sse2.h"

namespace resize {
namespace {

using Scalar = ScalarLanczosKernels<LanczosRules<ResizeBuild::V3>>;

// The channels of one 8u pixel as floats in the low lanes. Only the pixel's own channels are
// read: the fourth element of a three-channel pixel may be another pixel's, an alpha element or
// lie past the image.
template <int Channels>
__m128 PixelAsFloats(const uint8_t* p) {
    uint32_t bits;
    if constexpr (Channels == 4) {
        std::memcpy(&bits, p, 4);
    } else {
        // Three single loads: one narrower load into a wider one stalls the processor.
        bits = p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int32_t>(bits));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}

// Four integer results from two pairs of double sums: + 1e-7, saturated in double (where a
// value that is not a number becomes 0, as in the scalar conversion), truncated.
template <class T>
void StoreTruncated4(T* d, __m128d low, __m128d high) {
    constexpr double kMax = static_cast<double>(std::numeric_limits<T>::max());
    const __m128d bias = _mm_set1_pd(1e-7);
    const auto limit = [&](__m128d v) {
        return _mm_min_pd(_mm_max_pd(_mm_add_pd(v, bias), _mm_setzero_pd()), _mm_set1_pd(kMax));
    };
    const __m128i values =
        _mm_unpacklo_epi64(_mm_cvttpd_epi32(limit(low)), _mm_cvttpd_epi32(limit(high)));
    simd::StoreSaturated4(d, values);
}

}  // namespace

template <class T, int Channels>
void SimdLanczosKernels::RowFilter(const T* s, int32_t width, int32_t stride,
                                   const int32_t* offsets, const LanczosColumns* columns,
                                   float* out) {
    int32_t j = 0;
    if constexpr (std::is_same_v<T, uint8_t> && Channels > 1) {
        const LanczosTapLimits limits(*columns, stride);
        // The last pixel's values are stored one at a time so that nothing past the row's
        // values is written.
        for (; j + 1 < width; ++j) {
            const float* w = columns->weights + 6 * int64_t{j};
            __m128 acc = _mm_setzero_ps();
            for (int k = 0; k < 6; ++k) {
                const T* tap = s + limits.Tap(offsets[j], k);
                const __m128 product = _mm_mul_ps(_mm_set1_ps(w[k]), PixelAsFloats<Channels>(tap));
                acc = k == 0 ? product : _mm_add_ps(acc, product);
            }
            _mm_storeu_ps(out + j * Channels, acc);
        }
    }
    const LanczosColumns rest{columns->weights + 6 * int64_t{j}, columns->left, columns->right};
    Scalar::RowFilter<T, Channels>(s, width - j, stride, offsets + j, &rest, out + Channels * j);
}

template <class T>
void SimdLanczosKernels::Column(T* d, int32_t count, const float* w, const float* b0,
                                const float* b1, const float* b2, const float* b3, const float* b4,
                                const float* b5) {
    int32_t v = 0;
    if constexpr (std::is_same_v<T, float>) {
        const __m128 w0 = _mm_set1_ps(w[0]);
        const __m128 w1 = _mm_set1_ps(w[1]);
        const __m128 w2 = _mm_set1_ps(w[2]);
        const __m128 w3 = _mm_set1_ps(w[3]);
        const __m128 w4 = _mm_set1_ps(w[4]);
        const __m128 w5 = _mm_set1_ps(w[5]);
        for (; v + 4 <= count; v += 4) {
            __m128 acc = _mm_mul_ps(_mm_loadu_ps(b0 + v), w0);
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(b1 + v), w1));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(b2 + v), w2));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(b3 + v), w3));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(b4 + v), w4));
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(b5 + v), w5));
            _mm_storeu_ps(d + v, acc);
        }
    } else {
        const float* const rows[6] = {b0, b1, b2, b3, b4, b5};
        if (ActiveSimdLevel() == SimdLevel::kAvx2) {
            v = count & ~7;
            simd::avx2::LanczosColumn(d, v, w, rows);
        }
        __m128d weights[6];
        for (int k = 0; k < 6; ++k) {
            weights[k] = _mm_set1_pd(w[k]);
        }
        for (; v + 4 <= count; v += 4) {
            __m128d low = _mm_setzero_pd();
            __m128d high = _mm_setzero_pd();
            for (int k = 0; k < 6; ++k) {
                const __m128 values = _mm_loadu_ps(rows[k] + v);
                const __m128d productLow = _mm_mul_pd(_mm_cvtps_pd(values), weights[k]);
                const __m128d productHigh =
                    _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(values, values)), weights[k]);
                low = k == 0 ? productLow : _mm_add_pd(low, productLow);
                high = k == 0 ? productHigh : _mm_add_pd(high, productHigh);
            }
            StoreTruncated4(d + v, low, high);
        }
    }
    for (; v < count; ++v) {
        d[v] = Scalar::Value<T>(w, v, b0, b1, b2, b3, b4, b5);
    }
}

#define LANCZOS_SIMD_INSTANCES(T)                                                                 \
    template void SimdLanczosKernels::RowFilter<T, 1>(const T*, int32_t, int32_t, const int32_t*, \
                                                      const LanczosColumns*, float*);             \
    template void SimdLanczosKernels::RowFilter<T, 3>(const T*, int32_t, int32_t, const int32_t*, \
                                                      const LanczosColumns*, float*);             \
    template void SimdLanczosKernels::RowFilter<T, 4>(const T*, int32_t, int32_t, const int32_t*, \
                                                      const LanczosColumns*, float*);             \
    template void SimdLanczosKernels::Column<T>(T*, int32_t, const float*, const float*,          \
                                                const float*, const float*, const float*,         \
                                                const float*, const float*);

LANCZOS_SIMD_INSTANCES(uint8_t)
LANCZOS_SIMD_INSTANCES(uint16_t)
LANCZOS_SIMD_INSTANCES(float)

#undef LANCZOS_SIMD_INSTANCES

}  // namespace resize
