#pragma once

// SSE2 steps shared by the SSE2 kernels and the tails of the AVX2 kernels of builds V3 and V4.
// Each computes exactly what the scalar kernels compute for the same elements.

#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "resize/cubic_kernels.h"
#include "resize/linear_kernels.h"

namespace resize::simd {

// The four-wide cubic: coefficients broadcast, samples four consecutive buffer values.
struct CubicVector4 {
    __m128 s;
    __m128 q;
    __m128 c;

    explicit CubicVector4(const CubicCoefficients<float>& k)
        : s(_mm_set1_ps(k.s)), q(_mm_set1_ps(k.q)), c(_mm_set1_ps(k.c)) {}

    __m128 Value(__m128 p0, __m128 p1, __m128 p2, __m128 p3) const {
        const __m128 d1 = _mm_sub_ps(p1, p0);
        const __m128 d2 = _mm_sub_ps(_mm_sub_ps(p2, p1), d1);
        const __m128 d3 = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(p3, _mm_add_ps(p2, p2)), p1), d2);
        return _mm_add_ps(_mm_add_ps(_mm_add_ps(p0, _mm_mul_ps(c, d3)), _mm_mul_ps(q, d2)),
                          _mm_mul_ps(s, d1));
    }
};

// Four 32-bit integers stored as 8u or 16u, saturated to the type's range.
template <class T>
void StoreSaturated4(T* d, __m128i values) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(values, values), values);
        const int32_t four = _mm_cvtsi128_si32(bytes);
        __builtin_memcpy(d, &four, 4);
    } else {
        // No unsigned 32-to-16 pack in SSE2: shift into the signed range and back.
        const __m128i bias = _mm_set1_epi32(32768);
        const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(values, bias), values);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d),
                         _mm_xor_si128(packed, _mm_set1_epi16(int16_t(0x8000))));
    }
}

// Four values of the four-wide conversion: + 0.00001, round to nearest even, saturate.
template <class T>
void StoreRounded4(T* d, __m128 value) {
    if constexpr (std::is_same_v<T, float>) {
        _mm_storeu_ps(d, value);
    } else {
        StoreSaturated4(d, _mm_cvtps_epi32(_mm_add_ps(value, _mm_set1_ps(0.00001f))));
    }
}

// The cubic column filter from value v on: four-wide steps up to fourWide (a multiple of four),
// then one value at a time.
template <class T>
void CubicColumnFrom(int32_t v, T* d, int32_t count, int32_t fourWide, float t, const float* w0,
                     const float* w1, const float* w2, const float* w3) {
    const CubicVector4 wide(MakeCubicCoefficients<float>(t, true));
    for (; v < fourWide; v += 4) {
        StoreRounded4(d + v, wide.Value(_mm_load_ps(w0 + v), _mm_load_ps(w1 + v),
                                        _mm_load_ps(w2 + v), _mm_load_ps(w3 + v)));
    }
    const auto single = MakeCubicCoefficients<float>(t, false);
    for (; v < count; ++v) {
        d[v] = ConvertTruncating<T>(CubicValue<float>(single, w0[v], w1[v], w2[v], w3[v]));
    }
}

// The linear row filter of a three-channel 8u row (pixel stride 3 or 4) from pixel j up to
// count, one pixel per step. Reads eight bytes from each pixel n, so count must leave out every
// pixel at the row's last offset; writes four values per pixel, the fourth landing where the next
// pixel (or the buffer's slack) begins.
template <int Stride>
void LinearRow8uC3From(int32_t j, const uint8_t* s, int32_t count, const int32_t* offsets,
                       const uint16_t* weights, uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(128);
    for (; j < count; ++j) {
        int64_t bytes;
        __builtin_memcpy(&bytes, s + offsets[j], 8);
        const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi64_si128(bytes), zero);
        // Samples n + c and n + stride + c side by side, then the pair {16384 - w, w} each.
        const __m128i pairs = _mm_unpacklo_epi16(words, _mm_srli_si128(words, 2 * Stride));
        int32_t weightPair;
        __builtin_memcpy(&weightPair, weights + 2 * j, 4);
        const __m128i sums = _mm_madd_epi16(pairs, _mm_set1_epi32(weightPair));
        const __m128i values = _mm_srli_epi32(_mm_add_epi32(sums, round), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * j), _mm_packs_epi32(values, values));
    }
}

// The cubic row filter of an 8u row of three (stride 3 or 4) or four channels from pixel j up to
// count, one pixel per step with its channels in the lanes and the four-wide coefficient. Reads
// four bytes per sample, so for three channels count must leave out every pixel at the row's
// last offset; writes four values per pixel, the fourth of a three-channel pixel landing where
// the next pixel (or the buffer's slack) begins.
template <int Channels>
void CubicRow8uFrom(int32_t j, const uint8_t* s, int32_t count, int32_t stride,
                    const int32_t* offsets, const float* fractions, float* out) {
    const __m128i zero = _mm_setzero_si128();
    for (; j < count; ++j) {
        const CubicVector4 cubic(MakeCubicCoefficients<float>(fractions[j], true));
        const uint8_t* base = s + offsets[j];
        const auto sample = [&](int32_t k) {
            int32_t bytes;
            __builtin_memcpy(&bytes, base + k * stride, 4);
            return _mm_cvtepi32_ps(
                _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero));
        };
        _mm_storeu_ps(out + Channels * j, cubic.Value(sample(-1), sample(0), sample(1), sample(2)));
    }
}

// The linear row filter of float pixels of three (stride 3 or 4) or four channels for the first
// count pixels, a pixel's channels in the lanes of one vector. Reads four elements from pixel n +
// stride, so with packed three-channel pixels count must leave out every pixel at the row's last
// offset; writes four values per pixel, the fourth of a three-channel pixel landing where the next
// pixel (or the buffer's slack) begins.
inline void LinearRowPixels32f(const float* s, int32_t count, int32_t stride,
                               const int32_t* offsets, const float* weights, float* out,
                               int32_t channels) {
    for (int32_t j = 0; j < count; ++j) {
        const __m128 a = _mm_loadu_ps(s + offsets[j]);
        const __m128 b = _mm_loadu_ps(s + offsets[j] + stride);
        _mm_storeu_ps(out + int64_t{j} * channels,
                      _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), _mm_set1_ps(weights[j]))));
    }
}

// The linear blend from element k on, eight (8u, 16u) or four (32f) elements per step.
template <class T>
void LinearBlendFrom(int32_t k, T* d, int32_t count, LinearWeight<T> w,
                     const LinearBuffer<T>* upper, const LinearBuffer<T>* lower) {
    if constexpr (std::is_same_v<T, float>) {
        const float complement = 1.0f - w;
        const __m128 g = _mm_set1_ps(complement);
        const __m128 f = _mm_set1_ps(w);
        for (; k + 4 <= count; k += 4) {
            _mm_storeu_ps(d + k, _mm_add_ps(_mm_mul_ps(_mm_load_ps(upper + k), g),
                                            _mm_mul_ps(_mm_load_ps(lower + k), f)));
        }
    } else {
        constexpr int kShift = LinearFormat<T>::kBlendShift;
        const __m128i round = _mm_set1_epi32(1 << (kShift - 1));
        for (; k + 8 <= count; k += 8) {
            const __m128i up = _mm_load_si128(reinterpret_cast<const __m128i*>(upper + k));
            const __m128i lo = _mm_load_si128(reinterpret_cast<const __m128i*>(lower + k));
            __m128i first;
            __m128i second;
            if constexpr (std::is_same_v<T, uint8_t>) {
                // Buffer values stay below 2^15, so the signed pair products are exact.
                const __m128i weights = _mm_set1_epi32(int32_t(kQ14One - w) | int32_t(w) << 16);
                first = _mm_madd_epi16(_mm_unpacklo_epi16(up, lo), weights);
                second = _mm_madd_epi16(_mm_unpackhi_epi16(up, lo), weights);
            } else {
                // Full unsigned 16 x 16 products from their low and high halves.
                const __m128i wl = _mm_set1_epi16(int16_t(w));
                const __m128i wu = _mm_set1_epi16(int16_t(kQ14One - w));
                const __m128i ll = _mm_mullo_epi16(lo, wl);
                const __m128i lh = _mm_mulhi_epu16(lo, wl);
                const __m128i ul = _mm_mullo_epi16(up, wu);
                const __m128i uh = _mm_mulhi_epu16(up, wu);
                first = _mm_add_epi32(_mm_unpacklo_epi16(ll, lh), _mm_unpacklo_epi16(ul, uh));
                second = _mm_add_epi32(_mm_unpackhi_epi16(ll, lh), _mm_unpackhi_epi16(ul, uh));
            }
            first = _mm_srli_epi32(_mm_add_epi32(first, round), kShift);
            second = _mm_srli_epi32(_mm_add_epi32(second, round), kShift);
            if constexpr (std::is_same_v<T, uint8_t>) {
                const __m128i words = _mm_packs_epi32(first, second);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + k), _mm_packus_epi16(words, words));
            } else {
                const __m128i bias = _mm_set1_epi32(32768);
                const __m128i words =
                    _mm_packs_epi32(_mm_sub_epi32(first, bias), _mm_sub_epi32(second, bias));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k),
                                 _mm_xor_si128(words, _mm_set1_epi16(int16_t(0x8000))));
            }
        }
    }
    const LinearBlendValue<float, T> blend(w);
    for (; k < count; ++k) {
        d[k] = blend(upper[k], lower[k]);
    }
}

}  // namespace resize::simd
