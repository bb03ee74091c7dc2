// The Lanczos kernels of builds V3 and V4 that run vector code: the float column filter, four
// values per step with the lanes doing the scalar chain's operations in its order.

#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "resize/lanczos_kernels.h"

namespace resize {

template <class T>
void SimdLanczosKernels::Column(T* d, int32_t count, const float* w, const float* b0,
                                const float* b1, const float* b2, const float* b3, const float* b4,
                                const float* b5) {
    using Scalar = ScalarLanczosKernels<LanczosRules<ResizeBuild::V3>>;
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
    }
    for (; v < count; ++v) {
        d[v] = Scalar::Value<T>(w, v, b0, b1, b2, b3, b4, b5);
    }
}

template void SimdLanczosKernels::Column<uint8_t>(uint8_t*, int32_t, const float*, const float*,
                                                  const float*, const float*, const float*,
                                                  const float*, const float*);
template void SimdLanczosKernels::Column<uint16_t>(uint16_t*, int32_t, const float*, const float*,
                                                   const float*, const float*, const float*,
                                                   const float*, const float*);
template void SimdLanczosKernels::Column<float>(float*, int32_t, const float*, const float*,
                                                const float*, const float*, const float*,
                                                const float*, const float*);

}  // namespace resize
