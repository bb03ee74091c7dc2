#include "resize/super_rows_simd.h"

#include <emmintrin.h>

#include <algorithm>
#include <limits>

namespace resize::simd {
namespace {

template <class T>
const T* Row(const T* src, int32_t srcStep, int32_t k) {
    return reinterpret_cast<const T*>(reinterpret_cast<const uint8_t*>(src) + int64_t{k} * srcStep);
}

// 32-bit lanes hold the sum of this many rows of the widest sample without wrapping.
template <class T>
constexpr int32_t kRowsPerChunk = int32_t(0xFFFFFFFFu / std::numeric_limits<T>::max());

void AddLanes(uint64_t* acc, __m128i lanes) {
    const __m128i zero = _mm_setzero_si128();
    __m128i* a = reinterpret_cast<__m128i*>(acc);
    _mm_storeu_si128(a, _mm_add_epi64(_mm_loadu_si128(a), _mm_unpacklo_epi32(lanes, zero)));
    _mm_storeu_si128(a + 1, _mm_add_epi64(_mm_loadu_si128(a + 1), _mm_unpackhi_epi32(lanes, zero)));
}

// Widens one strip of samples to 32-bit lanes: 16 bytes or 8 words per strip.
template <class T, int Lanes>
void WidenStrip(const T* s, __m128i (&sums)[Lanes]) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    if constexpr (std::is_same_v<T, uint8_t>) {
        const __m128i lo = _mm_unpacklo_epi8(v, zero);
        const __m128i hi = _mm_unpackhi_epi8(v, zero);
        sums[0] = _mm_add_epi32(sums[0], _mm_unpacklo_epi16(lo, zero));
        sums[1] = _mm_add_epi32(sums[1], _mm_unpackhi_epi16(lo, zero));
        sums[2] = _mm_add_epi32(sums[2], _mm_unpacklo_epi16(hi, zero));
        sums[3] = _mm_add_epi32(sums[3], _mm_unpackhi_epi16(hi, zero));
    } else {
        sums[0] = _mm_add_epi32(sums[0], _mm_unpacklo_epi16(v, zero));
        sums[1] = _mm_add_epi32(sums[1], _mm_unpackhi_epi16(v, zero));
    }
}

template <class T>
void SumIntegerStrips(const T* src, int32_t srcStep, int64_t count, int32_t rows, uint64_t* acc) {
    constexpr int kStrip = 16 / sizeof(T);
    constexpr int kLanes = kStrip / 4;
    int64_t e = 0;
    for (; e + kStrip <= count; e += kStrip) {
        for (int32_t first = 0; first < rows; first += kRowsPerChunk<T>) {
            const int32_t last = std::min<int64_t>(rows, int64_t{first} + kRowsPerChunk<T>);
            __m128i sums[kLanes];
            for (__m128i& sum : sums) {
                sum = _mm_setzero_si128();
            }
            for (int32_t k = first; k < last; ++k) {
                WidenStrip<T, kLanes>(Row(src, srcStep, k) + e, sums);
            }
            for (int l = 0; l < kLanes; ++l) {
                AddLanes(acc + e + 4 * l, sums[l]);
            }
        }
    }
    for (; e < count; ++e) {
        for (int32_t k = 0; k < rows; ++k) {
            acc[e] += Row(src, srcStep, k)[e];
        }
    }
}

}  // namespace

void SumRowStrips(const uint8_t* src, int32_t srcStep, int64_t count, int32_t rows, uint64_t* acc) {
    SumIntegerStrips(src, srcStep, count, rows, acc);
}

void SumRowStrips(const uint16_t* src, int32_t srcStep, int64_t count, int32_t rows,
                  uint64_t* acc) {
    SumIntegerStrips(src, srcStep, count, rows, acc);
}

void SumRowStrips(const float* src, int32_t srcStep, int64_t count, int32_t rows, float* acc,
                  bool doubleLeftovers) {
    int64_t e = 0;
    for (; e + 16 <= count; e += 16) {
        __m128 sums[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
        for (int32_t k = 0; k < rows; ++k) {
            const float* s = Row(src, srcStep, k) + e;
            for (int l = 0; l < 4; ++l) {
                sums[l] = _mm_add_ps(sums[l], _mm_loadu_ps(s + 4 * l));
            }
        }
        for (int l = 0; l < 4; ++l) {
            _mm_storeu_ps(acc + e + 4 * l, sums[l]);
        }
    }
    for (; e < count; ++e) {
        if (doubleLeftovers) {
            double sum = 0.0;
            for (int32_t k = 0; k < rows; ++k) {
                sum += double(Row(src, srcStep, k)[e]);
            }
            acc[e] = static_cast<float>(sum);
        } else {
            for (int32_t k = 0; k < rows; ++k) {
                acc[e] += Row(src, srcStep, k)[e];
            }
        }
    }
}

void AddRowsFourWide(const float* src, int32_t srcStep, int64_t count, int32_t rows, float* acc) {
    // Single steps up to the accumulator's first 16-byte boundary, then eight floats a step.
    const int64_t head =
        std::min<int64_t>(count, ((16 - reinterpret_cast<uintptr_t>(acc) % 16) % 16) / 4);
    for (int32_t k = 0; k < rows; ++k) {
        const float* s = Row(src, srcStep, k);
        int64_t e = 0;
        for (; e < head; ++e) {
            acc[e] += s[e];
        }
        for (; e + 8 <= count; e += 8) {
            _mm_store_ps(acc + e, _mm_add_ps(_mm_load_ps(acc + e), _mm_loadu_ps(s + e)));
            _mm_store_ps(acc + e + 4,
                         _mm_add_ps(_mm_load_ps(acc + e + 4), _mm_loadu_ps(s + e + 4)));
        }
        for (; e < count; ++e) {
            acc[e] += s[e];
        }
    }
}

}  // namespace resize::simd
