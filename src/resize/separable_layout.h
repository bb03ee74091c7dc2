#pragma once

// The kernel choice shared by the separable drivers (linear, cubic): which row filter and which
// column kernel serve the call's pixel layout. A one-channel driver (also every plane of a planar
// image) has one of each; a multi-channel driver picks the three- or four-channel row filter by
// channels, and the plain column kernel when every element of a pixel is computed, else the AC4
// one that keeps the fourth element.

#include <cstddef>
#include <cstdint>

#include "resize/resize_build.h"

namespace resize {

template <class Kernels, class T, bool MultiChannel, class Weight, class Buffer>
void FilterSourceRow(const DriverArgs& args, const T* row, const Weight* colWeights, Buffer* out) {
    if constexpr (!MultiChannel) {
        Kernels::template RowFilter<T, 1>(row, args.dstWidth, 1, args.colOffsets, colWeights, out);
    } else if (args.channels == 3) {
        Kernels::template RowFilter<T, 3>(row, args.dstWidth, args.pixelStride, args.colOffsets,
                                          colWeights, out);
    } else {
        Kernels::template RowFilter<T, 4>(row, args.dstWidth, 4, args.colOffsets, colWeights, out);
    }
}

template <class Kernels, bool MultiChannel, class T, class Weight, class... Buffers>
void WriteDestinationRow(const DriverArgs& args, T* d, Weight weight, Buffers... rows) {
    if constexpr (!MultiChannel) {
        Kernels::Column(d, args.dstWidth, weight, rows...);
    } else if (args.pixelStride == args.channels) {
        Kernels::Column(d, args.dstWidth * args.channels, weight, rows...);
    } else {
        Kernels::ColumnAc4(d, args.dstWidth, weight, rows...);
    }
}

}  // namespace resize
