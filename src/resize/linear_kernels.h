#pragma once

// Linear interpolation arithmetic: a row filter interpolates one source row horizontally into a
// row buffer, a column blend mixes two row buffers into a destination row. 8u and 16u use Q14
// fixed point (16384 = 1.0) and give the same result in every build; 32f computes in the build's
// precision (double for V1, single for the others).

#include <cstdint>
#include <type_traits>

namespace resize {

template <class T>
struct LinearFormat;

// Buffers keep the horizontally interpolated value scaled by 64 (8u) or rounded (16u).
template <>
struct LinearFormat<uint8_t> {
    using Weight = uint16_t;  // column pairs {16384 - w, w} and row weights
    using Buffer = uint16_t;
    static constexpr int kRowShift = 8;
    static constexpr int kBlendShift = 20;
};

template <>
struct LinearFormat<uint16_t> {
    using Weight = uint16_t;
    using Buffer = uint16_t;
    static constexpr int kRowShift = 14;
    static constexpr int kBlendShift = 14;
};

template <>
struct LinearFormat<float> {
    using Weight = float;  // the fraction of sample n + 1
    using Buffer = float;
};

template <class T>
using LinearWeight = typename LinearFormat<T>::Weight;
template <class T>
using LinearBuffer = typename LinearFormat<T>::Buffer;

inline constexpr uint32_t kQ14One = 16384;

// One horizontally interpolated value from samples a (pixel n) and b (pixel n + 1).
template <class Real, class T>
LinearBuffer<T> LinearRowValue(T a, T b, const LinearWeight<T>* weights, int32_t j) {
    if constexpr (std::is_same_v<T, float>) {
        const Real ra = a;
        return static_cast<float>(ra + (Real(b) - ra) * Real(weights[j]));
    } else {
        constexpr int kShift = LinearFormat<T>::kRowShift;
        const uint32_t sum =
            uint32_t{weights[2 * j]} * a + uint32_t{weights[2 * j + 1]} * b + (1u << (kShift - 1));
        return static_cast<LinearBuffer<T>>(sum >> kShift);
    }
}

// The vertical mix of one destination row; the complement of the row weight is formed once.
template <class Real, class T>
class LinearBlendValue {
public:
    explicit LinearBlendValue(LinearWeight<T> w) : weight_(w), complement_(Complement(w)) {}

    T operator()(LinearBuffer<T> upper, LinearBuffer<T> lower) const {
        if constexpr (std::is_same_v<T, float>) {
            return static_cast<float>(Real(upper) * complement_ + Real(lower) * Real(weight_));
        } else {
            constexpr int kShift = LinearFormat<T>::kBlendShift;
            const uint32_t sum =
                uint32_t{lower} * weight_ + uint32_t{upper} * complement_ + (1u << (kShift - 1));
            return static_cast<T>(sum >> kShift);
        }
    }

private:
    using Factor = std::conditional_t<std::is_same_v<T, float>, Real, uint32_t>;
    static Factor Complement(LinearWeight<T> w) {
        if constexpr (std::is_same_v<T, float>) {
            return Real(1) - Real(w);
        } else {
            return kQ14One - w;
        }
    }

    Factor weight_;
    Factor complement_;
};

// Scalar kernels, one value at a time. Real is the precision of the 32f arithmetic.
template <class Real>
struct ScalarLinearKernels {
    // Channels 1, 3 or 4; neighbouring source pixels lie stride elements apart (pixelStride for
    // three channels, so an AC4 source is read without its fourth element).
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const LinearWeight<T>* weights, LinearBuffer<T>* out) {
        for (int32_t j = 0; j < width; ++j) {
            const T* a = s + offsets[j];
            for (int c = 0; c < Channels; ++c) {
                out[j * Channels + c] = LinearRowValue<Real, T>(a[c], a[stride + c], weights, j);
            }
        }
    }

    template <class T>
    static void Column(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                       const LinearBuffer<T>* lower) {
        const LinearBlendValue<Real, T> blend(w);
        for (int32_t k = 0; k < count; ++k) {
            d[k] = blend(upper[k], lower[k]);
        }
    }

    // Three buffered values per pixel into four-element pixels whose fourth element is kept.
    template <class T>
    static void ColumnAc4(T* d, int32_t width, LinearWeight<T> w, const LinearBuffer<T>* upper,
                          const LinearBuffer<T>* lower) {
        const LinearBlendValue<Real, T> blend(w);
        for (int32_t j = 0; j < width; ++j) {
            for (int c = 0; c < 3; ++c) {
                d[4 * j + c] = blend(upper[3 * j + c], lower[3 * j + c]);
            }
        }
    }
};

// Builds V3 and V4: the same results from SSE2 and, where the processor has it, AVX2 code.
struct SimdLinearKernels {
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const LinearWeight<T>* weights, LinearBuffer<T>* out);
    template <class T>
    static void Column(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                       const LinearBuffer<T>* lower);
    template <class T>
    static void ColumnAc4(T* d, int32_t width, LinearWeight<T> w, const LinearBuffer<T>* upper,
                          const LinearBuffer<T>* lower);
};

}  // namespace resize
