#pragma once

// The supersampling reduction: every destination pixel is the area-weighted mean of the cell of
// xStep x yStep source pixels under it, cells laid edge to edge from the rectangle's top-left
// corner. One template serves every element type and layout; the builds differ only in how they
// sum runs of whole rows (the RowSummer), and all of them give the results of the scalar one.
// Internal to the library.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "resize/aligned_scratch.h"

namespace resize {

// What the driver hands a kernel. src is the clipped rectangle's top-left element; steps are
// in bytes. srcWidth and srcRows bound every read: a cell that reaches beyond them takes the
// mean of the part it covers.
struct SuperArgs {
    const void* src;
    void* dst;
    int32_t srcStep;
    int32_t dstStep;
    int32_t srcWidth;
    int32_t srcRows;
    int32_t dstWidth;
    int32_t dstHeight;
    double xStep;  // at least 1
    double yStep;  // at least 1
    double norm;   // 1 / cell area
    int32_t pixelStride;
    int32_t mode;  // 2 when xStep has a fraction, plus 1 when yStep has one
    void* (*alloc32)(int32_t n);
};

// False when the accumulator row cannot be had; nothing is written then.
using SuperKernel = bool (*)(const SuperArgs& args);

// Whole-step sums of integer samples are kept exact in 64 bits: a tall cell of 16-bit samples
// passes 32 bits after 65,538 rows.
template <class T>
using SuperSumSlot = std::conditional_t<std::is_same_v<T, float>, float, uint64_t>;

inline constexpr double kSuperEpsilon = 1e-7;

// One cell of an axis, already cut to the units that exist: an optional leading unit shared
// with the previous cell, a run of whole units, an optional trailing unit shared with the next.
struct CellSpan {
    int64_t lead = -1;
    double leadWeight = 0.0;
    int64_t first = 0;
    int64_t count = 0;
    int64_t tail = -1;
    double tailWeight = 0.0;
    double cover = 0.0;  // the weight of the units taken
    bool cut = false;    // part of the cell lay beyond the last unit
};

// Walks the cells of one axis. Edge weights come from a carry advanced from cell to cell, never
// from the cell's index, so a unit that two cells share is split between them exactly.
class CellWalk {
public:
    CellWalk(double step, int32_t limit) : step_(step), limit_(limit) {}

    CellSpan Next() {
        CellSpan span;
        span.first = cursor_;
        if (first_) {
            first_ = false;
            const double whole = std::floor(step_);
            span.count = Units(whole);
            carry_ = step_ - whole;
            cursor_ = span.count;
            // The first cell takes its trailing fraction however small it is.
            if (carry_ != 0.0) {
                span.tail = cursor_;
                span.tailWeight = carry_;
            }
        } else {
            const double lead = 1.0 - carry_;
            const double rest = step_ - lead;
            const double whole = std::floor(rest + kSuperEpsilon);
            carry_ = rest - whole;
            const int64_t n = Units(whole);
            if (lead == 1.0) {
                span.count = n + 1;
            } else {
                // A lead at or below the threshold was all but wholly taken by the previous cell;
                // the cell starts after it rather than counting that unit again.
                if (lead > kSuperEpsilon) {
                    span.lead = cursor_;
                    span.leadWeight = lead;
                }
                span.first = cursor_ + 1;
                span.count = n;
            }
            cursor_ += n + 1;
            if (carry_ > kSuperEpsilon) {
                span.tail = cursor_;
                span.tailWeight = carry_;
            }
        }
        Clip(span);
        return span;
    }

private:
    // Counts beyond the axis are all alike to the clipping, so huge steps stay in range.
    int64_t Units(double whole) const {
        if (!(whole > 0.0)) {
            return 0;
        }
        return whole > double(limit_) ? int64_t{limit_} + 1 : static_cast<int64_t>(whole);
    }

    void Clip(CellSpan& span) const {
        if (span.lead >= limit_) {
            span.lead = -1;
            span.cut = true;
        }
        if (span.lead >= 0) {
            span.cover += span.leadWeight;
        }
        const int64_t available = std::max<int64_t>(0, limit_ - span.first);
        if (span.count > available) {
            span.count = available;
            span.cut = true;
        }
        span.cover += double(span.count);
        if (span.tail >= limit_) {
            span.tail = -1;
            span.cut = true;
        }
        if (span.tail >= 0) {
            span.cover += span.tailWeight;
        }
    }

    double step_;
    int32_t limit_;
    int64_t cursor_ = 0;
    double carry_ = 0.0;
    bool first_ = true;
};

// The row summing of builds V1 and V2 (V2's float sums are the same additions in the same order).
struct ScalarSuperRows {
    // acc[e] += each of `rows` rows, the rows taken from the top, for the processed elements of
    // `width` pixels of `stride` elements.
    template <class T, int Channels>
    static void SumRows(const T* src, int32_t srcStep, int32_t width, int32_t rows, int32_t stride,
                        SuperSumSlot<T>* acc) {
        for (int32_t k = 0; k < rows; ++k) {
            const T* s = reinterpret_cast<const T*>(reinterpret_cast<const uint8_t*>(src) +
                                                    int64_t{k} * srcStep);
            for (int64_t x = 0; x < width; ++x) {
                for (int c = 0; c < Channels; ++c) {
                    acc[x * stride + c] += s[x * stride + c];
                }
            }
        }
    }
};

namespace super_detail {

template <class T>
T StoreSample(double value) {
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(value);
    } else {
        // Rounding a large cell's float sums can lift a full-scale mean past the top.
        constexpr double kTop = std::numeric_limits<T>::max();
        const double rounded = value + 0.5;
        if (!(rounded >= 1.0)) {
            return 0;
        }
        return rounded >= kTop + 1.0 ? T(kTop) : T(static_cast<int64_t>(rounded));
    }
}

template <class T, class Slot, int Channels>
class SuperRow {
public:
    SuperRow(const SuperArgs& a, Slot* acc, int32_t stride) : a_(a), acc_(acc), stride_(stride) {}

    const T* SourceRow(int64_t k) const {
        return reinterpret_cast<const T*>(static_cast<const uint8_t*>(a_.src) + k * a_.srcStep);
    }

    void AddWeighted(int64_t k, double weight) {
        const T* s = SourceRow(k);
        ForEachElement([&](int64_t e) {
            acc_[e] = static_cast<float>(double(s[e]) * weight + double(acc_[e]));
        });
    }

    void AddWhole(int64_t k) {
        const T* s = SourceRow(k);
        ForEachElement(
            [&](int64_t e) { acc_[e] = static_cast<float>(double(acc_[e]) + double(s[e])); });
    }

    // The cell sum of channel c: lead, whole units from the left, tail, rounded to the slot.
    Slot CellSum(const CellSpan& span, int c) const {
        const Slot* a = acc_ + c;
        if constexpr (std::is_same_v<Slot, uint64_t>) {
            uint64_t sum = 0;
            for (int64_t x = span.first; x < span.first + span.count; ++x) {
                sum += a[x * stride_];
            }
            return sum;
        } else {
            double sum = 0.0;
            if (span.lead >= 0) {
                sum += double(a[span.lead * stride_]) * span.leadWeight;
            }
            for (int64_t x = span.first; x < span.first + span.count; ++x) {
                sum += double(a[x * stride_]);
            }
            if (span.tail >= 0) {
                sum += double(a[span.tail * stride_]) * span.tailWeight;
            }
            return static_cast<float>(sum);
        }
    }

private:
    template <class F>
    void ForEachElement(F f) const {
        for (int64_t x = 0; x < a_.srcWidth; ++x) {
            for (int c = 0; c < Channels; ++c) {
                f(x * stride_ + c);
            }
        }
    }

    const SuperArgs& a_;
    Slot* acc_;
    int32_t stride_;
};

// Slot is the accumulator type; whole-step reductions (mode 0) sum rows through the RowSummer.
template <class Rows, class T, int Channels, class Slot>
void ReduceRows(const SuperArgs& a, Slot* acc, int64_t slots, int32_t stride) {
    SuperRow<T, Slot, Channels> row(a, acc, stride);
    CellWalk rows(a.yStep, a.srcRows);
    for (int32_t r = 0; r < a.dstHeight; ++r) {
        std::memset(acc, 0, static_cast<std::size_t>(slots) * sizeof(Slot));
        const CellSpan band = rows.Next();
        if constexpr (std::is_same_v<Slot, SuperSumSlot<T>>) {
            if (a.mode == 0) {
                if (band.count > 0) {
                    Rows::template SumRows<T, Channels>(
                        row.SourceRow(band.first), a.srcStep, a.srcWidth,
                        static_cast<int32_t>(band.count), stride, acc);
                }
            }
        }
        if constexpr (std::is_same_v<Slot, float>) {
            if (a.mode != 0) {
                if (band.lead >= 0) {
                    row.AddWeighted(band.lead, band.leadWeight);
                }
                for (int64_t k = band.first; k < band.first + band.count; ++k) {
                    row.AddWhole(k);
                }
                if (band.tail >= 0) {
                    row.AddWeighted(band.tail, band.tailWeight);
                }
            }
        }

        T* out = reinterpret_cast<T*>(static_cast<uint8_t*>(a.dst) + int64_t{r} * a.dstStep);
        CellWalk columns(a.xStep, a.srcWidth);
        for (int32_t o = 0; o < a.dstWidth; ++o) {
            const CellSpan cell = columns.Next();
            // A cell cut short by the rectangle's edge takes the mean of what it covers.
            const double cover = cell.cover * band.cover;
            const double scale = (cell.cut || band.cut) && cover > 0.0 ? 1.0 / cover : a.norm;
            for (int c = 0; c < Channels; ++c) {
                out[int64_t{o} * stride + c] = StoreSample<T>(double(row.CellSum(cell, c)) * scale);
            }
        }
    }
}

}  // namespace super_detail

template <class Rows, class T, int Channels>
bool ResizeSuperRows(const SuperArgs& a) {
    const int32_t stride = Channels == 3 ? a.pixelStride : Channels;
    const int64_t slots = int64_t{a.srcWidth} * stride;
    if (a.mode < 0 || a.mode > 3) {
        return true;
    }
    if constexpr (!std::is_same_v<T, float>) {
        if (a.mode == 0) {
            const int64_t bytes = slots * int64_t{sizeof(uint64_t)};
            auto* acc = static_cast<uint64_t*>(bytes > std::numeric_limits<int32_t>::max()
                                                   ? nullptr
                                                   : AlignedAlloc8(int32_t(bytes)));
            if (acc == nullptr) {
                return false;
            }
            super_detail::ReduceRows<Rows, T, Channels>(a, acc, slots, stride);
            AlignedFree(acc);
            return true;
        }
    }
    auto* acc = static_cast<float*>(
        slots > std::numeric_limits<int32_t>::max() ? nullptr : a.alloc32(int32_t(slots)));
    if (acc == nullptr) {
        return false;
    }
    super_detail::ReduceRows<Rows, T, Channels>(a, acc, slots, stride);
    AlignedFree(acc);
    return true;
}

}  // namespace resize
