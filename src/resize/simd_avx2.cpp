#include "resize/simd_avx2.h"

#include <immintrin.h>

#include <limits>
#include <type_traits>

#include "resize/avx2_target.h"
#include "resize/cubic_kernels.h"
#include "resize/simd_sse2.h"

// Everything defined below is compiled for AVX2; the headers above keep their own target.
RESIZE_AVX2_BEGIN

namespace resize::simd::avx2 {
namespace {

__m256i LoadOffsets(const int32_t* offsets) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets));
}

__m256i ByteOf(__m256i v, int byte) {
    return _mm256_and_si256(_mm256_srli_epi32(v, 8 * byte), _mm256_set1_epi32(0xFF));
}

}  // namespace

void ShuffleBlocks(const uint8_t* s, uint8_t* d, int32_t blocks, const int32_t* bases,
                   const uint8_t* masks) {
    for (int32_t q = 0; q < blocks; ++q) {
        const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + bases[q]));
        const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(masks + 16 * q));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * q), _mm_shuffle_epi8(window, mask));
    }
}

template <int Channels>
void LinearRow8u(const uint8_t* s, int32_t count, int32_t stride, const int32_t* offsets,
                 const uint16_t* weights, uint16_t* out) {
    // Each pixel's eight bytes from n hold its samples at n and at n + stride. Per 64-bit lane,
    // the first shuffle pairs channels 0 and 1 of the two samples as 16-bit words, the second
    // channel 2 (and 3); a pairwise multiply-add with the weight pair {16384 - w, w}
    // interpolates.
    const __m256i channels01 = _mm256_setr_epi8(
        0, -1, stride, -1, 1, -1, stride + 1, -1, 8, -1, stride + 8, -1, 9, -1, stride + 9, -1, 0,
        -1, stride, -1, 1, -1, stride + 1, -1, 8, -1, stride + 8, -1, 9, -1, stride + 9, -1);
    const __m256i channels23 =
        Channels == 4 ? _mm256_setr_epi8(2, -1, 6, -1, 3, -1, 7, -1, 10, -1, 14, -1, 11, -1, 15, -1,
                                         2, -1, 6, -1, 3, -1, 7, -1, 10, -1, 14, -1, 11, -1, 15, -1)
                      : _mm256_setr_epi8(2, -1, stride + 2, -1, -1, -1, -1, -1, 10, -1, stride + 10,
                                         -1, -1, -1, -1, -1, 2, -1, stride + 2, -1, -1, -1, -1, -1,
                                         10, -1, stride + 10, -1, -1, -1, -1, -1);
    // Words c0 c1 c0 c1 c2 c3 c2 c3 of two pixels into c0 c1 c2 c3 c0 c1 c2 c3, or without c3.
    const __m256i order =
        Channels == 4 ? _mm256_setr_epi8(0, 1, 2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15, 0, 1,
                                         2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15)
                      : _mm256_setr_epi8(0, 1, 2, 3, 8, 9, 4, 5, 6, 7, 12, 13, -1, -1, -1, -1, 0, 1,
                                         2, 3, 8, 9, 4, 5, 6, 7, 12, 13, -1, -1, -1, -1);
    const __m256i round = _mm256_set1_epi32(128);
    // The weight pair of each pixel in both halves of its 64-bit lane.
    const __m256i doubled = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    // Eight bytes from each of two pixels, side by side.
    const auto two = [s](int32_t first, int32_t second) {
        const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + first));
        return _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(low), reinterpret_cast<const double*>(s + second)));
    };
    for (int32_t j = 0; j + 4 <= count; j += 4) {
        const __m256i samples =
            _mm256_inserti128_si256(_mm256_castsi128_si256(two(offsets[j], offsets[j + 1])),
                                    two(offsets[j + 2], offsets[j + 3]), 1);
        const __m256i pairWeights = _mm256_permutevar8x32_epi32(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 2 * j))),
            doubled);
        const auto interpolate = [&](__m256i shuffle) {
            return _mm256_srli_epi32(
                _mm256_add_epi32(
                    _mm256_madd_epi16(_mm256_shuffle_epi8(samples, shuffle), pairWeights), round),
                8);
        };
        const __m256i values = _mm256_shuffle_epi8(
            _mm256_packus_epi32(interpolate(channels01), interpolate(channels23)), order);
        // Two pixels per lane; with three channels the first store spills 4 bytes that the second
        // overwrites, the second spills into the next pixels or the buffer's slack.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Channels * j),
                         _mm256_castsi256_si128(values));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Channels * j + 2 * Channels),
                         _mm256_extracti128_si256(values, 1));
    }
}

template void LinearRow8u<3>(const uint8_t*, int32_t, int32_t, const int32_t*, const uint16_t*,
                             uint16_t*);
template void LinearRow8u<4>(const uint8_t*, int32_t, int32_t, const int32_t*, const uint16_t*,
                             uint16_t*);

int32_t LinearRow8uC1(const uint8_t* s, int32_t count, const int32_t* offsets,
                      const uint16_t* weights, uint16_t* out) {
    // Each half of the vector serves four pixels from sixteen bytes at its first pixel: the
    // shuffle puts bytes n and n + 1 of each pixel into 16-bit halves, which are multiplied
    // pairwise with the weight pair {16384 - w, w}.
    const __m256i halves = _mm256_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4);
    const __m256i nextByte = _mm256_set1_epi32(0x10000);
    const __m256i zeroHigh = _mm256_set1_epi32(int32_t(0x80008000u));
    const __m256i round = _mm256_set1_epi32(128);
    int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        if (offsets[j + 3] - offsets[j] > 14 || offsets[j + 7] - offsets[j + 4] > 14) {
            break;
        }
        const __m256i at = LoadOffsets(offsets + j);
        const __m256i d = _mm256_sub_epi32(at, _mm256_permutevar8x32_epi32(at, halves));
        const __m256i pick = _mm256_or_si256(
            _mm256_add_epi32(_mm256_add_epi32(d, _mm256_slli_epi32(d, 16)), nextByte), zeroHigh);
        const __m256i window = _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + offsets[j]))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + offsets[j + 4])), 1);
        const __m256i samples = _mm256_shuffle_epi8(window, pick);
        const __m256i pairs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 2 * j));
        const __m256i values =
            _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(samples, pairs), round), 8);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + j),
            _mm_packus_epi32(_mm256_castsi256_si128(values), _mm256_extracti128_si256(values, 1)));
    }
    return j;
}

int32_t LinearRow32fC1(const float* s, int32_t count, const int32_t* offsets, const float* weights,
                       float* out) {
    // Each half of the vector serves four pixels from eight floats at its first pixel.
    const __m256i halves = _mm256_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4);
    const __m256i one = _mm256_set1_epi32(1);
    int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        if (offsets[j + 3] - offsets[j] > 6 || offsets[j + 7] - offsets[j + 4] > 6) {
            break;
        }
        const __m256i at = LoadOffsets(offsets + j);
        const __m256i d = _mm256_sub_epi32(at, _mm256_permutevar8x32_epi32(at, halves));
        const __m256 low = _mm256_loadu_ps(s + offsets[j]);
        const __m256 high = _mm256_loadu_ps(s + offsets[j + 4]);
        const auto pick = [&](__m256i index) {
            return _mm256_blend_ps(_mm256_permutevar8x32_ps(low, index),
                                   _mm256_permutevar8x32_ps(high, index), 0xF0);
        };
        const __m256 a = pick(d);
        const __m256 b = pick(_mm256_add_epi32(d, one));
        _mm256_storeu_ps(out + j, _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(b, a),
                                                                 _mm256_loadu_ps(weights + j))));
    }
    return j;
}

template <class T>
void LinearBlend(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                 const LinearBuffer<T>* lower) {
    int32_t k = 0;
    if constexpr (std::is_same_v<T, float>) {
        const __m256 g = _mm256_set1_ps(1.0f - w);
        const __m256 f = _mm256_set1_ps(w);
        for (; k + 8 <= count; k += 8) {
            _mm256_storeu_ps(d + k, _mm256_add_ps(_mm256_mul_ps(_mm256_load_ps(upper + k), g),
                                                  _mm256_mul_ps(_mm256_load_ps(lower + k), f)));
        }
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        const __m256i weights = _mm256_set1_epi32(int32_t(kQ14One - w) | int32_t(w) << 16);
        const __m256i round = _mm256_set1_epi32(1 << 19);
        for (; k + 16 <= count; k += 16) {
            const __m256i up = _mm256_load_si256(reinterpret_cast<const __m256i*>(upper + k));
            const __m256i lo = _mm256_load_si256(reinterpret_cast<const __m256i*>(lower + k));
            const __m256i first = _mm256_srli_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(up, lo), weights), round),
                20);
            const __m256i second = _mm256_srli_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(up, lo), weights), round),
                20);
            const __m256i bytes = _mm256_permute4x64_epi64(
                _mm256_packus_epi16(_mm256_packs_epi32(first, second), _mm256_setzero_si256()),
                0xD8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), _mm256_castsi256_si128(bytes));
        }
    } else {
        const __m256i wl = _mm256_set1_epi32(w);
        const __m256i wu = _mm256_set1_epi32(int32_t(kQ14One - w));
        const __m256i round = _mm256_set1_epi32(1 << 13);
        for (; k + 8 <= count; k += 8) {
            const __m256i up =
                _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(upper + k)));
            const __m256i lo =
                _mm256_cvtepu16_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(lower + k)));
            const __m256i sum = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_mullo_epi32(lo, wl), _mm256_mullo_epi32(up, wu)), round);
            const __m256i values = _mm256_srli_epi32(sum, 14);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k),
                             _mm_packus_epi32(_mm256_castsi256_si128(values),
                                              _mm256_extracti128_si256(values, 1)));
        }
    }
    LinearBlendFrom(k, d, count, w, upper, lower);
}

template <class T>
void CubicColumn(T* d, int32_t count, int32_t fourWide, float t, const float* w0, const float* w1,
                 const float* w2, const float* w3) {
    const auto k = MakeCubicCoefficients<float>(t, true);
    const __m256 s = _mm256_set1_ps(k.s);
    const __m256 q = _mm256_set1_ps(k.q);
    const __m256 c = _mm256_set1_ps(k.c);
    int32_t v = 0;
    for (; v + 8 <= fourWide; v += 8) {
        const __m256 p0 = _mm256_load_ps(w0 + v);
        const __m256 p1 = _mm256_load_ps(w1 + v);
        const __m256 p2 = _mm256_load_ps(w2 + v);
        const __m256 p3 = _mm256_load_ps(w3 + v);
        const __m256 d1 = _mm256_sub_ps(p1, p0);
        const __m256 d2 = _mm256_sub_ps(_mm256_sub_ps(p2, p1), d1);
        const __m256 d3 =
            _mm256_sub_ps(_mm256_add_ps(_mm256_sub_ps(p3, _mm256_add_ps(p2, p2)), p1), d2);
        const __m256 value = _mm256_add_ps(
            _mm256_add_ps(_mm256_add_ps(p0, _mm256_mul_ps(c, d3)), _mm256_mul_ps(q, d2)),
            _mm256_mul_ps(s, d1));
        if constexpr (std::is_same_v<T, float>) {
            _mm256_storeu_ps(d + v, value);
        } else {
            const __m256i rounded =
                _mm256_cvtps_epi32(_mm256_add_ps(value, _mm256_set1_ps(0.00001f)));
            const __m128i low = _mm256_castsi256_si128(rounded);
            const __m128i high = _mm256_extracti128_si256(rounded, 1);
            if constexpr (std::is_same_v<T, uint8_t>) {
                const __m128i words = _mm_packs_epi32(low, high);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + v), _mm_packus_epi16(words, words));
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + v), _mm_packus_epi32(low, high));
            }
        }
    }
    CubicColumnFrom(v, d, count, fourWide, t, w0, w1, w2, w3);
}

template <int Channels>
void CubicRow8u(const uint8_t* s, int32_t count, int32_t stride, const int32_t* offsets,
                const float* fractions, float* out) {
    const __m256 one = _mm256_set1_ps(1.0f);
    // Sixteen bytes from sample n - stride hold a pixel's four samples; packed three-byte samples
    // are spread to one per 32-bit group.
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    // Pixels p and p + 4 in the two halves of one vector.
    const auto window = [&](int32_t p) {
        const __m256i both = _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + offsets[p] - stride))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + offsets[p + 4] - stride)), 1);
        return stride == 3 ? _mm256_shuffle_epi8(both, spread) : both;
    };
    for (int32_t j = 0; j + 8 <= count; j += 8) {
        const __m256 t = _mm256_loadu_ps(fractions + j);
        const __m256 sc = _mm256_add_ps(one, t);
        const __m256 q = _mm256_mul_ps(_mm256_mul_ps(t, sc), _mm256_set1_ps(0.5f));
        const __m256 c =
            _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(t, one), q), _mm256_set1_ps(kCubicThird));
        // A 4 x 4 transpose of 32-bit groups in each half: sample k of pixels j .. j + 7.
        const __m256i w0 = window(j);
        const __m256i w1 = window(j + 1);
        const __m256i w2 = window(j + 2);
        const __m256i w3 = window(j + 3);
        const __m256i low01 = _mm256_unpacklo_epi32(w0, w1);
        const __m256i high01 = _mm256_unpackhi_epi32(w0, w1);
        const __m256i low23 = _mm256_unpacklo_epi32(w2, w3);
        const __m256i high23 = _mm256_unpackhi_epi32(w2, w3);
        const __m256i samples[4] = {
            _mm256_unpacklo_epi64(low01, low23),
            _mm256_unpackhi_epi64(low01, low23),
            _mm256_unpacklo_epi64(high01, high23),
            _mm256_unpackhi_epi64(high01, high23),
        };
        alignas(32) float values[Channels][8];
        for (int ch = 0; ch < Channels; ++ch) {
            const __m256 p0 = _mm256_cvtepi32_ps(ByteOf(samples[0], ch));
            const __m256 p1 = _mm256_cvtepi32_ps(ByteOf(samples[1], ch));
            const __m256 p2 = _mm256_cvtepi32_ps(ByteOf(samples[2], ch));
            const __m256 p3 = _mm256_cvtepi32_ps(ByteOf(samples[3], ch));
            const __m256 d1 = _mm256_sub_ps(p1, p0);
            const __m256 d2 = _mm256_sub_ps(_mm256_sub_ps(p2, p1), d1);
            const __m256 d3 =
                _mm256_sub_ps(_mm256_add_ps(_mm256_sub_ps(p3, _mm256_add_ps(p2, p2)), p1), d2);
            _mm256_store_ps(values[ch],
                            _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(p0, _mm256_mul_ps(c, d3)),
                                                        _mm256_mul_ps(q, d2)),
                                          _mm256_mul_ps(sc, d1)));
        }
        for (int p = 0; p < 8; ++p) {
            for (int ch = 0; ch < Channels; ++ch) {
                out[(j + p) * Channels + ch] = values[ch][p];
            }
        }
    }
}

template <class T>
void LanczosColumn(T* d, int32_t count, const float* w, const float* const* rows) {
    constexpr double kMax = static_cast<double>(std::numeric_limits<T>::max());
    __m256d weights[6];
    for (int k = 0; k < 6; ++k) {
        weights[k] = _mm256_set1_pd(w[k]);
    }
    // Written so that a sum that is not a number becomes 0.
    const auto truncated = [](__m256d sum) {
        const __m256d biased = _mm256_add_pd(sum, _mm256_set1_pd(1e-7));
        return _mm256_cvttpd_epi32(
            _mm256_min_pd(_mm256_max_pd(biased, _mm256_setzero_pd()), _mm256_set1_pd(kMax)));
    };
    for (int32_t v = 0; v + 8 <= count; v += 8) {
        __m256d low = _mm256_setzero_pd();
        __m256d high = _mm256_setzero_pd();
        for (int k = 0; k < 6; ++k) {
            const __m256d productLow =
                _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(rows[k] + v)), weights[k]);
            const __m256d productHigh =
                _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(rows[k] + v + 4)), weights[k]);
            low = k == 0 ? productLow : _mm256_add_pd(low, productLow);
            high = k == 0 ? productHigh : _mm256_add_pd(high, productHigh);
        }
        if constexpr (std::is_same_v<T, uint8_t>) {
            const __m128i words = _mm_packs_epi32(truncated(low), truncated(high));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + v), _mm_packus_epi16(words, words));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + v),
                             _mm_packus_epi32(truncated(low), truncated(high)));
        }
    }
}

template void LanczosColumn<uint8_t>(uint8_t*, int32_t, const float*, const float* const*);
template void LanczosColumn<uint16_t>(uint16_t*, int32_t, const float*, const float* const*);
template void LinearBlend<uint8_t>(uint8_t*, int32_t, uint16_t, const uint16_t*, const uint16_t*);
template void LinearBlend<uint16_t>(uint16_t*, int32_t, uint16_t, const uint16_t*, const uint16_t*);
template void LinearBlend<float>(float*, int32_t, float, const float*, const float*);
template void CubicColumn<uint8_t>(uint8_t*, int32_t, int32_t, float, const float*, const float*,
                                   const float*, const float*);
template void CubicColumn<uint16_t>(uint16_t*, int32_t, int32_t, float, const float*, const float*,
                                    const float*, const float*);
template void CubicColumn<float>(float*, int32_t, int32_t, float, const float*, const float*,
                                 const float*, const float*);
template void CubicRow8u<3>(const uint8_t*, int32_t, int32_t, const int32_t*, const float*, float*);
template void CubicRow8u<4>(const uint8_t*, int32_t, int32_t, const int32_t*, const float*, float*);

}  // namespace resize::simd::avx2

RESIZE_AVX2_END
