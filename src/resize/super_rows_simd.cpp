#include "resize/super_rows_simd.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "resize/aligned_scratch.h"
#include "resize/avx2_target.h"
#include "resize/simd_level.h"

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

namespace resize {
namespace {

// A cell mean as ((sum + bias) x multiplier) >> (16 + shift), all in 16 bits but the product.
struct IntegerMean {
    uint16_t bias;
    uint16_t multiplier;
    int32_t shift;

    uint32_t Of(uint32_t sum) const { return ((sum + bias) * multiplier >> 16) >> shift; }
};

}  // namespace
}  // namespace resize

RESIZE_AVX2_BEGIN

namespace resize::simd::avx2 {
namespace {

// out[e] = the sum of `rows` rows' byte e, for e < count; the caller keeps the sums in 16 bits.
void SumRows8u(const uint8_t* src, int32_t srcStep, int64_t count, int32_t rows, uint16_t* out) {
    int64_t e = 0;
    for (; e + 32 <= count; e += 32) {
        __m256i low = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        for (int32_t k = 0; k < rows; ++k) {
            const uint8_t* s = Row(src, srcStep, k) + e;
            low = _mm256_add_epi16(
                low, _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))));
            high = _mm256_add_epi16(
                high,
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16))));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + e), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + e + 16), high);
    }
    for (; e < count; ++e) {
        uint32_t sum = 0;
        for (int32_t k = 0; k < rows; ++k) {
            sum += Row(src, srcStep, k)[e];
        }
        out[e] = static_cast<uint16_t>(sum);
    }
}

// cells[o * channels + c] = the sum of xInt column sums of cell o, channel c. Reads and writes up
// to sixteen lanes past the last cell: both rows have that slack.
void CellSums(const uint16_t* sums, int32_t cells, int32_t xInt, int32_t channels, uint16_t* out) {
    int32_t o = 0;
    if (channels == 1 && xInt == 2) {
        // Neighbouring lanes added in 32 bits, then the low halves packed: sixteen cells a step.
        const __m256i low16 = _mm256_set1_epi32(0xFFFF);
        const auto pairs = [&](const uint16_t* at) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
            return _mm256_and_si256(_mm256_add_epi32(v, _mm256_srli_epi32(v, 16)), low16);
        };
        for (; o + 16 <= cells; o += 16) {
            const __m256i packed =
                _mm256_packus_epi32(pairs(sums + 2 * o), pairs(sums + 2 * o + 16));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + o),
                                _mm256_permute4x64_epi64(packed, 0xD8));
        }
    }
    if (channels == 3 && xInt == 2) {
        // Pixel pairs added a pixel apart give three cells in lanes 0-2, 6-8 and 12-14; the
        // shuffle gathers each 128-bit half's cells at its front, and the two halves are stored
        // one after the other, each store overwriting the previous one's spare lanes.
        const __m256i gather =
            _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1, 0, 1, 8, 9,
                             10, 11, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
        for (; o + 3 <= cells; o += 3) {
            const uint16_t* at = sums + int64_t{o} * 6;
            const __m256i pairs = _mm256_shuffle_epi8(
                _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3))),
                gather);
            uint16_t* to = out + int64_t{o} * 3;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(pairs));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 5),
                             _mm256_extracti128_si256(pairs, 1));
        }
    }
    if (channels == 4 && xInt == 2) {
        for (; o + 2 <= cells; o += 2) {
            const uint16_t* at = sums + int64_t{o} * 8;
            const __m256i pairs =
                _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 4)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + int64_t{o} * 4),
                             _mm256_castsi256_si128(_mm256_permute4x64_epi64(pairs, 0x08)));
        }
    }
    for (; o < cells; ++o) {
        const uint16_t* first = sums + int64_t{o} * xInt * channels;
        __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
        for (int32_t k = 1; k < xInt; ++k) {
            sum = _mm_add_epi16(
                sum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + k * channels)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + int64_t{o} * channels), sum);
    }
}

void StoreMeans(const uint16_t* cells, int64_t count, const IntegerMean& mean, uint8_t* out) {
    const __m256i bias = _mm256_set1_epi16(static_cast<int16_t>(mean.bias));
    const __m256i multiplier = _mm256_set1_epi16(static_cast<int16_t>(mean.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(mean.shift);
    const auto scaled = [&](const uint16_t* at) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        return _mm256_srl_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(v, bias), multiplier), shift);
    };
    int64_t m = 0;
    for (; m + 32 <= count; m += 32) {
        const __m256i bytes = _mm256_packus_epi16(scaled(cells + m), scaled(cells + m + 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + m),
                            _mm256_permute4x64_epi64(bytes, 0xD8));
    }
    for (; m < count; ++m) {
        out[m] = static_cast<uint8_t>(mean.Of(cells[m]));
    }
}

// Four samples or slots widened to double.
template <class T>
__m256d LoadFour(const T* s) {
    if constexpr (std::is_same_v<T, uint64_t>) {
        // Whole-step integer slots stay below 2^47 (16-bit samples, 2^31 rows): as the low bits
        // of a double of exponent 52 they are that double less 2^52.
        const __m256d twoTo52 = _mm256_set1_pd(4503599627370496.0);
        const __m256i bits = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)), _mm256_castpd_si256(twoTo52));
        return _mm256_sub_pd(_mm256_castsi256_pd(bits), twoTo52);
    } else if constexpr (std::is_same_v<T, float>) {
        return _mm256_cvtps_pd(_mm_loadu_ps(s));
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        int32_t bytes;
        std::memcpy(&bytes, s, 4);
        return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
    } else {
        return _mm256_cvtepi32_pd(
            _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s))));
    }
}

// Eight samples as floats; exact for the integer types.
template <class T>
__m256 LoadEight(const T* s) {
    if constexpr (std::is_same_v<T, float>) {
        return _mm256_loadu_ps(s);
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        return _mm256_cvtepi32_ps(
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s))));
    } else {
        return _mm256_cvtepi32_ps(
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))));
    }
}

}  // namespace

// acc[e] = single(double(s[e]) x weight + double(acc[e])), the product and the sum in double.
template <class T>
void AddWeightedRow(const T* s, double weight, float* acc, int64_t count) {
    const __m256d w = _mm256_set1_pd(weight);
    int64_t e = 0;
    for (; e + 4 <= count; e += 4) {
        const __m256d sum =
            _mm256_add_pd(_mm256_mul_pd(LoadFour(s + e), w), _mm256_cvtps_pd(_mm_load_ps(acc + e)));
        _mm_store_ps(acc + e, _mm256_cvtpd_ps(sum));
    }
    for (; e < count; ++e) {
        acc[e] = static_cast<float>(double(s[e]) * weight + double(acc[e]));
    }
}

// acc[e] = single(double(acc[e]) + double(s[e])). The double sum of two singles rounds to the
// single sum, so single-precision additions give it.
template <class T>
void AddWholeRow(const T* s, float* acc, int64_t count) {
    int64_t e = 0;
    for (; e + 8 <= count; e += 8) {
        _mm256_store_ps(acc + e, _mm256_add_ps(_mm256_load_ps(acc + e), LoadEight(s + e)));
    }
    for (; e < count; ++e) {
        acc[e] = static_cast<float>(double(acc[e]) + double(s[e]));
    }
}

// The cell sums of pixels of three or four elements, all of a pixel's elements in the lanes of
// one vector, in the common kernel's order: lead, whole columns from the left, tail, each added
// in double to a sum that starts at 0.0 and, from float slots, rounded to single at the end
// (integer slots sum exactly: the caller keeps cells below 2^53). Then the store of each cell's
// mean, scale x sum. Reads four elements per pixel: the row has a spare element.
template <class T, int Channels, class Slot>
void StoreWideCells(const Slot* acc, int32_t stride, const CellSpan* spans, int32_t cells,
                    const double* scales, T* out) {
    for (int32_t o = 0; o < cells; ++o) {
        const CellSpan& cell = spans[o];
        __m256d sum = _mm256_setzero_pd();
        if (cell.lead >= 0) {
            sum = _mm256_add_pd(sum, _mm256_mul_pd(LoadFour(acc + cell.lead * stride),
                                                   _mm256_set1_pd(cell.leadWeight)));
        }
        for (int64_t x = cell.first; x < cell.first + cell.count; ++x) {
            sum = _mm256_add_pd(sum, LoadFour(acc + x * stride));
        }
        if (cell.tail >= 0) {
            sum = _mm256_add_pd(sum, _mm256_mul_pd(LoadFour(acc + cell.tail * stride),
                                                   _mm256_set1_pd(cell.tailWeight)));
        }
        if constexpr (std::is_same_v<Slot, float>) {
            sum = _mm256_cvtps_pd(_mm256_cvtpd_ps(sum));
        }
        const __m256d mean = _mm256_mul_pd(sum, _mm256_set1_pd(scales[o]));
        alignas(16) T values[4];
        if constexpr (std::is_same_v<T, float>) {
            _mm_store_ps(values, _mm256_cvtpd_ps(mean));
        } else {
            // The common store: + 0.5, below 1 gives 0, from the top + 1 on the top, else
            // truncated; a sum that is not a number gives 0 as there.
            constexpr double kTop = std::numeric_limits<T>::max();
            const __m256d rounded = _mm256_add_pd(mean, _mm256_set1_pd(0.5));
            const __m128i whole = _mm256_cvttpd_epi32(
                _mm256_min_pd(_mm256_max_pd(rounded, _mm256_setzero_pd()), _mm256_set1_pd(kTop)));
            alignas(16) int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), whole);
            for (int c = 0; c < 4; ++c) {
                values[c] = static_cast<T>(lanes[c]);
            }
        }
        std::memcpy(out + int64_t{o} * stride, values, Channels * sizeof(T));
    }
}

}  // namespace resize::simd::avx2

RESIZE_AVX2_END

namespace resize {
namespace {

// The multiply-shift that gives, for every cell sum of 8-bit samples, what the common kernel
// stores for it; none when no such multiplier fits 16 bits or when one sum would come out
// otherwise (the double-precision product of norm rounds differently near a half).
std::optional<IntegerMean> ExactIntegerMean(int32_t area, double norm) {
    if (area < 2 || area > 256) {
        return std::nullopt;
    }
    int32_t bits = 1;
    while ((1 << bits) < area) {
        ++bits;
    }
    const uint32_t multiplier = ((1u << (15 + bits)) + area - 1) / area;
    const uint32_t top = 255u * static_cast<uint32_t>(area);
    const IntegerMean mean{static_cast<uint16_t>(area / 2), static_cast<uint16_t>(multiplier),
                           bits - 1};
    if (multiplier > 0xFFFF || top + mean.bias > 0xFFFF) {
        return std::nullopt;
    }
    for (uint32_t sum = 0; sum <= top; ++sum) {
        if (mean.Of(sum) != super_detail::StoreSample<uint8_t>(double(sum) * norm)) {
            return std::nullopt;
        }
    }
    return mean;
}

// Whole steps of 8-bit samples in 16-bit lanes: the rows of a band summed, the cells formed, the
// means stored. Only for cells that lie wholly inside the rectangle (the others take a mean of
// their covered part) and pixels without an element to keep.
template <int Channels>
std::optional<bool> WholeStep8u(const SuperArgs& a) {
    // Rows too wide for the common kernel's accumulator are its to refuse, before any row is read.
    if (a.xStep > 256.0 || a.yStep > 256.0 ||
        int64_t{a.srcWidth} * Channels * int64_t{sizeof(uint64_t)} >
            std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    const auto xInt = static_cast<int32_t>(a.xStep);
    const auto yInt = static_cast<int32_t>(a.yStep);
    if (int64_t{a.dstWidth} * xInt > a.srcWidth || int64_t{a.dstHeight} * yInt > a.srcRows) {
        return std::nullopt;
    }
    // Checking the multiplier visits 255 sums per source pixel of a cell; a destination of fewer
    // samples than that would spend more on the check than on the image.
    if (int64_t{a.dstWidth} * a.dstHeight * Channels < 255) {
        return std::nullopt;
    }
    const std::optional<IntegerMean> mean = ExactIntegerMean(xInt * yInt, a.norm);
    if (!mean) {
        return std::nullopt;
    }
    constexpr int64_t kSlack = 16;
    const int64_t used = int64_t{a.dstWidth} * xInt * Channels;
    const int64_t cellCount = int64_t{a.dstWidth} * Channels;
    const int64_t lanes = used + cellCount + 2 * kSlack;
    auto* sums = static_cast<uint16_t*>(
        lanes > std::numeric_limits<int32_t>::max() ? nullptr : a.alloc32(int32_t(lanes / 2 + 1)));
    if (sums == nullptr) {
        return false;
    }
    std::memset(sums, 0, static_cast<std::size_t>(lanes) * sizeof(uint16_t));
    uint16_t* cells = sums + used + kSlack;
    const auto* src = static_cast<const uint8_t*>(a.src);
    auto* dst = static_cast<uint8_t*>(a.dst);
    for (int32_t r = 0; r < a.dstHeight; ++r) {
        simd::avx2::SumRows8u(src + int64_t{r} * yInt * a.srcStep, a.srcStep, used, yInt, sums);
        if (xInt > 1) {
            simd::avx2::CellSums(sums, a.dstWidth, xInt, Channels, cells);
        }
        simd::avx2::StoreMeans(xInt > 1 ? cells : sums, cellCount, *mean,
                               dst + int64_t{r} * a.dstStep);
    }
    AlignedFree(sums);
    return true;
}

// The common kernel's steps with AVX2 (Slot float: fractional steps, and whole steps of float
// samples; Slot uint64_t: whole steps of integer samples): the rows of a band added or summed in
// vectors, the cells of pixels of three or four elements summed and stored a pixel per vector.
// The column cells are the same in every row, so they are walked once per call.
template <class T, int Channels, class Slot>
std::optional<bool> VectorSlots(const SuperArgs& a) {
    const int32_t stride = Channels == 3 ? a.pixelStride : Channels;
    const int64_t slots = int64_t{a.srcWidth} * stride;
    // One block of 4-byte units: the accumulator row with a spare vector (32-byte aligned), the
    // cells' scales and the cells.
    constexpr int64_t kSlotUnits = sizeof(Slot) / sizeof(float);
    const int64_t accUnits = ((slots + 8) * kSlotUnits + 7) & ~int64_t{7};
    const int64_t units = accUnits + int64_t{a.dstWidth} * 2 +
                          int64_t{a.dstWidth} * int64_t{sizeof(CellSpan) / sizeof(float)};
    if (units > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    auto* block = static_cast<float*>(a.alloc32(static_cast<int32_t>(units)));
    if (block == nullptr) {
        return false;
    }
    std::memset(block, 0, static_cast<std::size_t>(accUnits) * sizeof(float));
    auto* acc = reinterpret_cast<Slot*>(block);
    auto* scales = reinterpret_cast<double*>(block + accUnits);
    auto* spans = reinterpret_cast<CellSpan*>(scales + a.dstWidth);
    CellWalk columns(a.xStep, a.srcWidth);
    for (int32_t o = 0; o < a.dstWidth; ++o) {
        spans[o] = columns.Next();
    }

    super_detail::SuperRow<T, Slot, Channels> row(a, acc, stride);
    CellWalk rows(a.yStep, a.srcRows);
    for (int32_t r = 0; r < a.dstHeight; ++r) {
        std::memset(acc, 0, static_cast<std::size_t>(slots) * sizeof(Slot));
        const CellSpan band = rows.Next();
        if constexpr (std::is_same_v<Slot, SuperSumSlot<T>>) {
            if (a.mode == 0 && band.count > 0) {
                SimdSuperRows::SumRows<T, Channels>(row.SourceRow(band.first), a.srcStep,
                                                    a.srcWidth, static_cast<int32_t>(band.count),
                                                    stride, acc);
            }
        }
        if constexpr (std::is_same_v<Slot, float>) {
            if (a.mode != 0) {
                if (band.lead >= 0) {
                    simd::avx2::AddWeightedRow(row.SourceRow(band.lead), band.leadWeight, acc,
                                               slots);
                }
                for (int64_t k = band.first; k < band.first + band.count; ++k) {
                    simd::avx2::AddWholeRow(row.SourceRow(k), acc, slots);
                }
                if (band.tail >= 0) {
                    simd::avx2::AddWeightedRow(row.SourceRow(band.tail), band.tailWeight, acc,
                                               slots);
                }
            }
        }
        for (int32_t o = 0; o < a.dstWidth; ++o) {
            // A cell cut short by the rectangle's edge takes the mean of what it covers.
            const double cover = spans[o].cover * band.cover;
            scales[o] = (spans[o].cut || band.cut) && cover > 0.0 ? 1.0 / cover : a.norm;
        }
        T* out = reinterpret_cast<T*>(static_cast<uint8_t*>(a.dst) + int64_t{r} * a.dstStep);
        if constexpr (Channels == 1) {
            for (int32_t o = 0; o < a.dstWidth; ++o) {
                out[o] = super_detail::StoreSample<T>(double(row.CellSum(spans[o], 0)) * scales[o]);
            }
        } else {
            simd::avx2::StoreWideCells<T, Channels>(acc, stride, spans, a.dstWidth, scales, out);
        }
    }
    AlignedFree(block);
    return true;
}

}  // namespace

template <class T, int Channels>
bool ResizeSuperVector(const SuperArgs& a) {
    if (a.mode < 0 || a.mode > 3) {
        return true;
    }
    const bool avx2 = ActiveSimdLevel() == SimdLevel::kAvx2;
    if constexpr (std::is_same_v<T, uint8_t>) {
        if (a.mode == 0 && (Channels != 3 || a.pixelStride == 3) && avx2) {
            if (const std::optional<bool> done = WholeStep8u<Channels>(a)) {
                return *done;
            }
        }
    }
    if (avx2 && (a.mode != 0 || std::is_same_v<T, float>)) {
        if (const std::optional<bool> done = VectorSlots<T, Channels, float>(a)) {
            return *done;
        }
    }
    if constexpr (!std::is_same_v<T, float>) {
        // Whole-step integer cells, summed in double, are exact below 2^53.
        constexpr double kTop = std::numeric_limits<T>::max();
        if (avx2 && a.mode == 0 && a.xStep * a.yStep * kTop < 9007199254740992.0) {
            if (const std::optional<bool> done = VectorSlots<T, Channels, uint64_t>(a)) {
                return *done;
            }
        }
    }
    return ResizeSuperRows<SimdSuperRows, T, Channels>(a);
}

#define RESIZE_INSTANTIATE_SUPER(T)                               \
    template bool ResizeSuperVector<T, 1>(const SuperArgs& args); \
    template bool ResizeSuperVector<T, 3>(const SuperArgs& args); \
    template bool ResizeSuperVector<T, 4>(const SuperArgs& args);
RESIZE_INSTANTIATE_SUPER(uint8_t)
RESIZE_INSTANTIATE_SUPER(uint16_t)
RESIZE_INSTANTIATE_SUPER(float)
#undef RESIZE_INSTANTIATE_SUPER

}  // namespace resize
