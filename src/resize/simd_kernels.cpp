#include <cstdint>

#include "resize/cubic_kernels.h"
#include "resize/linear_kernels.h"
#include "resize/nearest_kernels.h"

namespace resize {

template <class T, int Elements>
void ResizeNearestRowsFast(const DriverArgs& args) {
    ResizeNearestRows<T, Elements>(args);
}

template <class T, int Channels>
void SimdLinearKernels::RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                                  const LinearWeight<T>* weights, LinearBuffer<T>* out) {
    ScalarLinearKernels<float>::RowFilter<T, Channels>(s, width, stride, offsets, weights, out);
}

template <class T>
void SimdLinearKernels::Blend(T* d, int32_t count, LinearWeight<T> w, const LinearBuffer<T>* upper,
                              const LinearBuffer<T>* lower) {
    ScalarLinearKernels<float>::Blend<T>(d, count, w, upper, lower);
}

template <class T>
void SimdLinearKernels::BlendAc4(T* d, int32_t width, LinearWeight<T> w,
                                 const LinearBuffer<T>* upper, const LinearBuffer<T>* lower) {
    ScalarLinearKernels<float>::BlendAc4<T>(d, width, w, upper, lower);
}

using V3Cubic = ScalarCubicKernels<CubicRules<ResizeBuild::V3>>;

template <class T, int Channels>
void SimdCubicKernels::RowFilter(const T* s, int32_t width, int32_t stride, const int32_t* offsets,
                                 const float* fractions, float* out) {
    V3Cubic::RowFilter<T, Channels>(s, width, stride, offsets, fractions, out);
}

template <class T>
void SimdCubicKernels::Column(T* d, int32_t count, float t, const float* w0, const float* w1,
                              const float* w2, const float* w3) {
    V3Cubic::Column<T>(d, count, t, w0, w1, w2, w3);
}

template <class T>
void SimdCubicKernels::ColumnAc4(T* d, int32_t width, float t, const float* w0, const float* w1,
                                 const float* w2, const float* w3) {
    V3Cubic::ColumnAc4<T>(d, width, t, w0, w1, w2, w3);
}

#define RESIZE_INSTANTIATE_FOR_TYPE(T)                            \
    template void ResizeNearestRowsFast<T, 1>(const DriverArgs&); \
    template void ResizeNearestRowsFast<T, 3>(const DriverArgs&); \
    template void ResizeNearestRowsFast<T, 4>(const DriverArgs&);
RESIZE_INSTANTIATE_FOR_TYPE(uint8_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint16_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint32_t)
#undef RESIZE_INSTANTIATE_FOR_TYPE

#define RESIZE_INSTANTIATE_FOR_TYPE(T)                                                            \
    template void SimdLinearKernels::RowFilter<T, 1>(const T*, int32_t, int32_t, const int32_t*,  \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);   \
    template void SimdLinearKernels::RowFilter<T, 3>(const T*, int32_t, int32_t, const int32_t*,  \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);   \
    template void SimdLinearKernels::RowFilter<T, 4>(const T*, int32_t, int32_t, const int32_t*,  \
                                                     const LinearWeight<T>*, LinearBuffer<T>*);   \
    template void SimdLinearKernels::Blend<T>(T*, int32_t, LinearWeight<T>,                       \
                                              const LinearBuffer<T>*, const LinearBuffer<T>*);    \
    template void SimdLinearKernels::BlendAc4<T>(T*, int32_t, LinearWeight<T>,                    \
                                                 const LinearBuffer<T>*, const LinearBuffer<T>*); \
    template void SimdCubicKernels::RowFilter<T, 1>(const T*, int32_t, int32_t, const int32_t*,   \
                                                    const float*, float*);                        \
    template void SimdCubicKernels::RowFilter<T, 3>(const T*, int32_t, int32_t, const int32_t*,   \
                                                    const float*, float*);                        \
    template void SimdCubicKernels::RowFilter<T, 4>(const T*, int32_t, int32_t, const int32_t*,   \
                                                    const float*, float*);                        \
    template void SimdCubicKernels::Column<T>(T*, int32_t, float, const float*, const float*,     \
                                              const float*, const float*);                        \
    template void SimdCubicKernels::ColumnAc4<T>(T*, int32_t, float, const float*, const float*,  \
                                                 const float*, const float*);
RESIZE_INSTANTIATE_FOR_TYPE(uint8_t)
RESIZE_INSTANTIATE_FOR_TYPE(uint16_t)
RESIZE_INSTANTIATE_FOR_TYPE(float)
#undef RESIZE_INSTANTIATE_FOR_TYPE

}  // namespace resize
