#pragma once

// Cubic interpolation arithmetic: the cubic through four neighbouring samples p0..p3 at
// positions -1, 0, 1, 2, evaluated at the fraction t in Newton's forward-difference form. A row
// filter writes float row buffers (unclamped); a column filter combines four buffers and
// converts to the element type.
//
// The builds differ in precision and rounding, and the differences are part of their results:
// V1 computes in double; V2, V3 and V4 in single precision, where the four-wide code multiplies by
// the single 0x3EAAAAAA instead of dividing by 3 and converts by rounding to nearest, while the
// values done one at a time divide by 3 and truncate. CubicRules says which values of a row take
// which way in each build.

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "resize/resize_build.h"

namespace resize {

inline constexpr float kCubicThird = std::bit_cast<float>(0x3EAAAAAAu);

template <class Real>
struct CubicCoefficients {
    Real s;
    Real q;
    Real c;
};

template <class Real>
CubicCoefficients<Real> MakeCubicCoefficients(float t, bool fourWide) {
    const Real x = t;
    const Real s = Real(1) + x;
    const Real q = x * s * Real(0.5);
    const Real c = fourWide ? (x - Real(1)) * q * Real(kCubicThird) : (x - Real(1)) * q / Real(3);
    return {s, q, c};
}

template <class Real>
Real CubicValue(const CubicCoefficients<Real>& k, Real p0, Real p1, Real p2, Real p3) {
    const Real d1 = p1 - p0;
    const Real d2 = (p2 - p1) - d1;
    const Real d3 = (p3 - Real(2) * p2 + p1) - d2;
    return p0 + k.c * d3 + k.q * d2 + k.s * d1;
}

// One value at a time: truncation after adding 1e-7 in double, saturated to the type's range.
template <class T>
T ConvertTruncating(double value) {
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(value);
    } else {
        constexpr double kMax = static_cast<double>(std::numeric_limits<T>::max());
        const double biased = value + 1e-7;
        // Written so that a value that is not a number becomes 0.
        return biased >= kMax ? static_cast<T>(kMax)
                              : (biased > 0.0 ? static_cast<T>(biased) : T{0});
    }
}

// Four-wide code: rounding to nearest (ties to even) after adding 0.00001 in single precision,
// saturated to the type's range.
template <class T>
T ConvertRounding(float value) {
    if constexpr (std::is_same_v<T, float>) {
        return value;
    } else {
        constexpr float kMax = static_cast<float>(std::numeric_limits<T>::max());
        const float biased = value + 0.00001f;
        const float clamped = biased >= kMax ? kMax : (biased > 0.0f ? biased : 0.0f);
        return static_cast<T>(std::nearbyint(clamped));
    }
}

// How many leading pixels of a row filter and leading values of a column filter each build
// computes the four-wide way.
template <ResizeBuild Build>
struct CubicRules {
    using Real = std::conditional_t<Build == ResizeBuild::V1, double, float>;
    // V1 keeps its intermediates in double but stores a column filter's coefficient c as a float.
    static constexpr bool kStoresColumnCoefficient = Build == ResizeBuild::V1;

    static int32_t FourWidePixels(int channels, int32_t width) {
        if constexpr (Build == ResizeBuild::V1) {
            return 0;
        } else if constexpr (Build == ResizeBuild::V2) {
            return width & ~3;
        } else {
            // V3 and V4 run the three- and four-channel row filters one whole pixel per step.
            return channels == 1 ? (width & ~3) : width;
        }
    }

    template <class T, bool Ac4>
    static int32_t FourWideValues(int32_t count) {
        if constexpr (Build == ResizeBuild::V1 || (Ac4 && std::is_same_v<T, float>)) {
            return 0;
        } else {
            return count & ~3;
        }
    }
};

template <class Rules>
struct ScalarCubicKernels {
    using Real = typename Rules::Real;

    // Channels 1, 3 or 4; neighbouring source pixels lie stride elements apart.
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const float* fractions, float* out) {
        const int32_t fourWide = Rules::FourWidePixels(Channels, width);
        for (int32_t j = 0; j < width; ++j) {
            const auto k = MakeCubicCoefficients<Real>(fractions[j], j < fourWide);
            const T* base = s + offsets[j];
            for (int c = 0; c < Channels; ++c) {
                out[j * Channels + c] = static_cast<float>(CubicValue<Real>(
                    k, base[c - stride], base[c], base[c + stride], base[c + 2 * stride]));
            }
        }
    }

    template <class T>
    static void Column(T* d, int32_t count, float t, const float* w0, const float* w1,
                       const float* w2, const float* w3) {
        ColumnValues<T, false>(d, count, t, w0, w1, w2, w3);
    }

    // Three buffered values per pixel into four-element pixels whose fourth element is kept.
    template <class T>
    static void ColumnAc4(T* d, int32_t width, float t, const float* w0, const float* w1,
                          const float* w2, const float* w3) {
        ColumnValues<T, true>(d, 3 * width, t, w0, w1, w2, w3);
    }

private:
    template <class T, bool Ac4>
    static void ColumnValues(T* d, int32_t count, float t, const float* w0, const float* w1,
                             const float* w2, const float* w3) {
        const int32_t fourWide = Rules::template FourWideValues<T, Ac4>(count);
        const auto wide = MakeCubicCoefficients<Real>(t, true);
        auto single = MakeCubicCoefficients<Real>(t, false);
        if constexpr (Rules::kStoresColumnCoefficient) {
            single.c = static_cast<float>(single.c);
        }
        for (int32_t v = 0; v < count; ++v) {
            const bool isWide = v < fourWide;
            const Real value = CubicValue<Real>(isWide ? wide : single, w0[v], w1[v], w2[v], w3[v]);
            d[Ac4 ? 4 * (v / 3) + v % 3 : v] = isWide
                                                   ? ConvertRounding<T>(static_cast<float>(value))
                                                   : ConvertTruncating<T>(value);
        }
    }
};

// Builds V3 and V4: vector code with the results of ScalarCubicKernels<CubicRules<V3>>.
struct SimdCubicKernels {
    template <class T, int Channels>
    static void RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                          const float* fractions, float* out);
    template <class T>
    static void Column(T* d, int32_t count, float t, const float* w0, const float* w1,
                       const float* w2, const float* w3);
    template <class T>
    static void ColumnAc4(T* d, int32_t width, float t, const float* w0, const float* w1,
                          const float* w2, const float* w3);
};

}  // namespace resize
