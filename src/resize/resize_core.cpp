#include "resize/resize_core.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "resize/aligned_scratch.h"
#include "resize/frame_resize.h"
#include "resize/resize_checks.h"

namespace resize {
namespace {

constexpr double kEpsilon = 1e-7;
constexpr int32_t kQ14One = 16384;

// One axis of the mapping from destination samples to source positions. Positions are relative
// to the rectangle's origin; origin and extent place the rectangle inside the whole image.
struct Axis {
    int32_t dstSize;
    double start;
    double step;
    int32_t origin;
    int32_t extent;

    int32_t Last() const { return extent - origin - 1; }
};

Axis MapAxis(int32_t roiSize, int32_t asked, double factor, double shift, int32_t origin,
             int32_t extent, bool nearest, bool zoom) {
    Axis axis{asked, 0.0, 0.0, origin, extent};
    // Compared as doubles: a huge factor gives a count beyond any integer, which never reduces.
    const auto reduceTo = [&axis](double count) {
        if (count < axis.dstSize) {
            axis.dstSize = std::max(1, static_cast<int32_t>(count));
        }
    };
    if (zoom) {
        const double span = roiSize * factor;
        reduceTo(std::trunc(span + kEpsilon));
        if (nearest) {
            axis.step = 1.0 / factor;
            axis.start = 0.5 * axis.step;
        } else {
            axis.step = span > 1.0 ? (roiSize - 1) / (span - 1.0) : 0.0;
        }
    } else {
        axis.step = factor;
        if (nearest) {
            reduceTo(std::trunc(roiSize / factor + kEpsilon));
            axis.start = 0.5 * factor;
        } else {
            reduceTo(std::trunc((roiSize - 1) / factor + kEpsilon) + 1.0);
        }
    }
    axis.start += shift;
    return axis;
}

// Calls visit(i, position, n) for every destination sample. The position is held inside the
// image: a tiny factor puts the centre of a nearest-neighbour sample beyond the rectangle's last
// pixel, and shifts can move any position out; both would otherwise read outside the image.
// n = floor(position + 1e-7), which is the usual truncation for every position at or right of
// the origin and stays correct for the ones a shift moves left of it.
template <class Visit>
void ForEachSample(const Axis& axis, Visit visit) {
    const double low = -axis.origin;
    const double high = axis.Last();
    double running = axis.start;
    for (int32_t i = 0; i < axis.dstSize; ++i, running += axis.step) {
        // Written so that a position that is not a number lands on the low edge.
        const double position = running > high ? high : (running >= low ? running : low);
        visit(i, position, static_cast<int32_t>(std::floor(position + kEpsilon)));
    }
}

void BuildNearestAxis(const Axis& axis, int32_t scale, int32_t* offsets) {
    ForEachSample(axis, [&](int32_t i, double, int32_t n) { offsets[i] = n * scale; });
}

// The pair (n, n + 1) with the weight of n + 1; a position on the last sample becomes the pair
// (last - 1, last) with weight one, so the kernels never read past the last sample.
template <class StoreWeight>
void BuildLinearAxis(const Axis& axis, int32_t scale, int32_t* offsets, StoreWeight store) {
    ForEachSample(axis, [&](int32_t i, double position, int32_t n) {
        double weight = position - n;
        if (n == axis.Last()) {
            n -= 1;
            weight = 1.0;
        }
        offsets[i] = n * scale;
        store(i, weight);
    });
}

uint16_t ToQ14(double weight) {
    return static_cast<uint16_t>(static_cast<int32_t>(weight * kQ14One + kEpsilon));
}

// The base sample n' keeps one sample before it and two after it inside the image; the fraction
// is the position relative to n', exactly 2.0 on the last sample.
void BuildCubicAxis(const Axis& axis, int32_t scale, int32_t* offsets, float* fractions) {
    ForEachSample(axis, [&](int32_t i, double position, int32_t n) {
        const int32_t absolute = axis.origin + n;
        float fraction;
        if (absolute == axis.extent - 1) {
            n -= 2;
            fraction = 2.0f;
        } else {
            n += (absolute == 0 ? 1 : 0) - (absolute == axis.extent - 2 ? 1 : 0);
            fraction = static_cast<float>(position - n);
        }
        offsets[i] = n * scale;
        fractions[i] = fraction;
    });
}

void BuildLanczosAxis(const Axis& axis, int32_t scale, int32_t* offsets, float* fractions) {
    ForEachSample(axis, [&](int32_t i, double position, int32_t n) {
        offsets[i] = n * scale;
        fractions[i] = static_cast<float>(position - n);
    });
}

int32_t LowerInterpolation(int32_t interpolation, int32_t srcWidth, int32_t srcHeight) {
    if (srcWidth < 2 || srcHeight < 2) {
        return kInterNearest;
    }
    if (interpolation == kInterLanczos && (srcWidth < 6 || srcHeight < 6)) {
        interpolation = kInterCubic;
    }
    if (interpolation == kInterCubic && (srcWidth < 4 || srcHeight < 4)) {
        interpolation = kInterLinear;
    }
    return interpolation;
}

bool IsKnownLayout(int32_t pixelStride, int32_t channels, int32_t elementType, bool planar) {
    if (elementType < kElement8u || elementType > kElement32f) {
        return false;
    }
    return planar || (pixelStride == 1 && channels == 1) || (pixelStride == 3 && channels == 3) ||
           (pixelStride == 4 && (channels == 3 || channels == 4));
}

int32_t DriverIndex(int32_t interpolation, int32_t elementType, int32_t channels, bool planar) {
    int32_t entry = elementType;
    if (planar || channels == 1) {
        entry += 3;
    } else if (interpolation == kInterNearest && channels == 4) {
        entry += 6;
    }
    switch (interpolation) {
        case kInterNearest:
            return kNearestGroup + entry;
        case kInterLinear:
            return kLinearGroup + entry;
        case kInterCubic:
            return kCubicGroup + entry;
        default:
            return kLanczosGroup + entry;
    }
}

// The work blocks of one call, released together whatever way the call ends. After the first
// failed allocation nothing further is taken.
class ScratchBlocks {
public:
    ScratchBlocks() = default;
    ScratchBlocks(const ScratchBlocks&) = delete;
    ScratchBlocks& operator=(const ScratchBlocks&) = delete;
    ~ScratchBlocks() {
        for (int i = 0; i < count_; ++i) {
            AlignedFree(blocks_[i]);
        }
    }

    template <class T>
    T* Take(void* (*alloc)(int32_t), int64_t n) {
        if (failed_ || n > INT32_MAX) {
            failed_ = true;
            return nullptr;
        }
        void* block = alloc(static_cast<int32_t>(n));
        if (block == nullptr) {
            failed_ = true;
            return nullptr;
        }
        blocks_[count_++] = block;
        return static_cast<T*>(block);
    }

    bool Failed() const { return failed_; }

private:
    std::array<void*, 16> blocks_{};
    int count_ = 0;
    bool failed_ = false;
};

template <ResizeBuild Build>
int32_t ResizeCoreOf(const void* pSrc, int32_t srcWidth, int32_t srcHeight, int32_t srcStep,
                     int32_t roiX, int32_t roiY, int32_t roiWidth, int32_t roiHeight, void* pDst,
                     int32_t dstStep, int32_t dstWidth, int32_t dstHeight, double xFactor,
                     double yFactor, double xShift, double yShift, int32_t pixelStride,
                     int32_t channels, int32_t elementType, int32_t planar, int32_t interpolation,
                     int32_t mode) {
    if (const int32_t status =
            CheckResizeRequest(pSrc, srcWidth, srcHeight, srcStep, roiX, roiY, roiWidth, roiHeight,
                               pDst, dstStep, dstWidth, dstHeight);
        status != kResizeOk) {
        return status;
    }
    if (!(xFactor > 0.0) || !(yFactor > 0.0)) {
        return kResizeFactorError;
    }
    if (interpolation != kInterNearest && interpolation != kInterLinear &&
        interpolation != kInterCubic && interpolation != kInterLanczos) {
        return kResizeInterpolationError;
    }
    // Beyond the checks above: a layout without kernels, or a missing plane, would make the
    // drivers read or write through nothing sensible.
    if (!IsKnownLayout(pixelStride, channels, elementType, planar != 0)) {
        return kResizeSizeError;
    }
    const int32_t elementShift = elementType;  // 1, 2 or 4 bytes
    // The drivers step in elements; a step that is no whole number of them has no row to land on.
    if (srcStep % (1 << elementShift) != 0 || dstStep % (1 << elementShift) != 0) {
        return kResizeStepError;
    }
    const int32_t planes = planar == 0 ? 1 : (channels == 3 ? 3 : 4);
    const void* const* srcPlanes = planar == 0 ? &pSrc : static_cast<const void* const*>(pSrc);
    void* const* dstPlanes = planar == 0 ? &pDst : static_cast<void* const*>(pDst);
    for (int32_t p = 0; p < planes; ++p) {
        if (srcPlanes[p] == nullptr || dstPlanes[p] == nullptr) {
            return kResizeNullPointer;
        }
    }

    ResizeBuildKit& kit = ResizeBuildKitOf(Build);
    interpolation = LowerInterpolation(interpolation, srcWidth, srcHeight);
    const ResizeDriver driver =
        kit.kernels[DriverIndex(interpolation, elementType, channels, planar != 0)];
    if (driver == nullptr || (interpolation == kInterLanczos && kit.lanczosWeights == nullptr)) {
        return kResizeInterpolationError;
    }

    roiWidth = static_cast<int32_t>(std::min<int64_t>(roiWidth, int64_t{srcWidth} - roiX));
    roiHeight = static_cast<int32_t>(std::min<int64_t>(roiHeight, int64_t{srcHeight} - roiY));

    const bool nearest = interpolation == kInterNearest;
    const bool zoom = mode != 0;
    const Axis rows =
        MapAxis(roiHeight, dstHeight, yFactor, yShift, roiY, srcHeight, nearest, zoom);
    const Axis cols = MapAxis(roiWidth, dstWidth, xFactor, xShift, roiX, srcWidth, nearest, zoom);

    const int32_t srcStepElements = srcStep >> elementShift;
    const int32_t dstStepElements = dstStep >> elementShift;
    const int32_t colScale = planar != 0 || channels == 1 ? 1 : pixelStride;
    // The tables hold 32-bit element offsets; an image they cannot address is refused as the
    // tables for it cannot be had.
    if (int64_t{srcHeight} * srcStepElements > INT32_MAX ||
        int64_t{srcWidth} * colScale > INT32_MAX) {
        return kResizeNoMemory;
    }

    const bool fixedPoint = interpolation == kInterLinear && elementType != kElement32f;
    const int32_t bufferCount = nearest                         ? 0
                                : interpolation == kInterLinear ? 2
                                : interpolation == kInterCubic  ? 4
                                                                : 6;
    const int32_t bufferChannels = planar != 0 || channels == 1 ? 1 : channels;
    const int64_t bufferLength = int64_t{bufferChannels} * (int64_t{cols.dstSize} + 4);

    ScratchBlocks scratch;
    int32_t* rowOffsets = scratch.Take<int32_t>(kit.alloc32, rows.dstSize);
    int32_t* colOffsets = scratch.Take<int32_t>(kit.alloc32, cols.dstSize);
    void* rowWeights = nullptr;
    void* colWeights = nullptr;
    if (fixedPoint) {
        rowWeights = scratch.Take<uint16_t>(AlignedAlloc16, rows.dstSize);
        colWeights = scratch.Take<uint16_t>(AlignedAlloc16, 2 * int64_t{cols.dstSize});
    } else if (!nearest) {
        rowWeights = scratch.Take<float>(kit.alloc32, rows.dstSize);
        colWeights = scratch.Take<float>(kit.alloc32, cols.dstSize);
    }
    std::array<void*, 6> buffers{};
    for (int32_t b = 0; b < bufferCount; ++b) {
        buffers[b] = fixedPoint ? scratch.Take<void>(AlignedAlloc16, bufferLength)
                                : scratch.Take<void>(kit.alloc32, bufferLength);
    }
    float* colTaps = nullptr;
    float* rowTaps = nullptr;
    if (interpolation == kInterLanczos) {
        colTaps = scratch.Take<float>(kit.alloc32, 6 * int64_t{cols.dstSize});
        rowTaps = scratch.Take<float>(kit.alloc32, 6 * int64_t{rows.dstSize});
    }
    if (scratch.Failed()) {
        return kResizeNoMemory;
    }

    switch (interpolation) {
        case kInterNearest:
            BuildNearestAxis(rows, srcStepElements, rowOffsets);
            BuildNearestAxis(cols, colScale, colOffsets);
            break;
        case kInterLinear:
            if (fixedPoint) {
                auto* rowQ14 = static_cast<uint16_t*>(rowWeights);
                auto* colQ14 = static_cast<uint16_t*>(colWeights);
                BuildLinearAxis(rows, srcStepElements, rowOffsets,
                                [&](int32_t i, double w) { rowQ14[i] = ToQ14(w); });
                BuildLinearAxis(cols, colScale, colOffsets, [&](int32_t j, double w) {
                    colQ14[2 * j] = static_cast<uint16_t>(kQ14One - ToQ14(w));
                    colQ14[2 * j + 1] = ToQ14(w);
                });
            } else {
                auto* rowF = static_cast<float*>(rowWeights);
                auto* colF = static_cast<float*>(colWeights);
                BuildLinearAxis(rows, srcStepElements, rowOffsets,
                                [&](int32_t i, double w) { rowF[i] = static_cast<float>(w); });
                BuildLinearAxis(cols, colScale, colOffsets,
                                [&](int32_t j, double w) { colF[j] = static_cast<float>(w); });
            }
            break;
        case kInterCubic:
            BuildCubicAxis(rows, srcStepElements, rowOffsets, static_cast<float*>(rowWeights));
            BuildCubicAxis(cols, colScale, colOffsets, static_cast<float*>(colWeights));
            break;
        default:
            BuildLanczosAxis(rows, srcStepElements, rowOffsets, static_cast<float*>(rowWeights));
            BuildLanczosAxis(cols, colScale, colOffsets, static_cast<float*>(colWeights));
            kit.lanczosWeights(static_cast<const float*>(colWeights), cols.dstSize, colTaps);
            kit.lanczosWeights(static_cast<const float*>(rowWeights), rows.dstSize, rowTaps);
            rowWeights = rowTaps;
            colWeights = colTaps;
            break;
    }

    const bool upscale = zoom ? yFactor >= 1.0 : yFactor < 1.0;
    DriverArgs args{nullptr,
                    nullptr,
                    srcStepElements,
                    dstStepElements,
                    cols.dstSize,
                    rows.dstSize,
                    rowOffsets,
                    colOffsets,
                    rowWeights,
                    colWeights,
                    buffers,
                    roiX,
                    roiY,
                    srcWidth - roiX,
                    srcHeight - roiY,
                    upscale ? 1 : 0,
                    planar != 0 ? 0 : pixelStride,
                    planar != 0 ? 0 : channels};
    const std::ptrdiff_t originElements = std::ptrdiff_t{roiX} * (planar != 0 ? 1 : pixelStride);
    for (int32_t p = 0; p < planes; ++p) {
        args.src = static_cast<const char*>(srcPlanes[p]) + std::ptrdiff_t{roiY} * srcStep +
                   (originElements << elementShift);
        args.dst = dstPlanes[p];
        driver(args);
    }
    return kResizeOk;
}

}  // namespace

const ResizeCoreFn ResizeCore = &ResizeCoreOf<ResizeBuild::V1>;
const ResizeCoreFn ResizeCoreV2 = &ResizeCoreOf<ResizeBuild::V2>;
const ResizeCoreFn ResizeCoreV3 = &ResizeCoreOf<ResizeBuild::V3>;
const ResizeCoreFn ResizeCoreV4 = &ResizeCoreOf<ResizeBuild::V4>;

}  // namespace resize
