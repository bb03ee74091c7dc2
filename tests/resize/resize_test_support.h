#pragma once

// Shared helpers of the resize tests: images placed against inaccessible pages, a readable way
// to spell a core call, and the builds to loop over.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "resize/frame_resize.h"
#include "resize/resize_build.h"
#include "resize/resize_core.h"

namespace resize::test {

// Usable bytes with an inaccessible page on both sides, placed flush against the page after
// them (Back) or the page before them (Front), so that a read or write one byte outside
// faults at once.
class GuardedBuffer {
public:
    enum class Placement { Front, Back };

    GuardedBuffer(std::size_t bytes, Placement placement) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t usable = (bytes + page - 1) / page * page;
        size_ = usable + 2 * page;
        void* mapping =
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) {
            throw std::runtime_error("mmap failed");
        }
        base_ = static_cast<uint8_t*>(mapping);
        mprotect(base_, page, PROT_NONE);
        mprotect(base_ + page + usable, page, PROT_NONE);
        data_ = placement == Placement::Front ? base_ + page : base_ + page + usable - bytes;
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    ~GuardedBuffer() { munmap(base_, size_); }

    uint8_t* data() { return data_; }

private:
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

inline const std::array<ResizeCoreFn, 4>& AllCores() {
    static const std::array<ResizeCoreFn, 4> cores = {ResizeCore, ResizeCoreV2, ResizeCoreV3,
                                                      ResizeCoreV4};
    return cores;
}

inline constexpr std::array<ResizeBuild, 4> kAllBuilds = {ResizeBuild::V1, ResizeBuild::V2,
                                                          ResizeBuild::V3, ResizeBuild::V4};

inline int32_t ElementBytes(int32_t elementType) {
    return 1 << elementType;
}

// The arguments of one core call, with a valid 8 x 8 three-channel 8u enlargement by 2 as the
// starting point that a test changes.
struct CoreCall {
    int32_t srcWidth = 8;
    int32_t srcHeight = 8;
    int32_t srcStep = 24;
    int32_t roiX = 0;
    int32_t roiY = 0;
    int32_t roiWidth = 8;
    int32_t roiHeight = 8;
    int32_t dstStep = 48;
    int32_t dstWidth = 16;
    int32_t dstHeight = 16;
    double xFactor = 2.0;
    double yFactor = 2.0;
    double xShift = 0.0;
    double yShift = 0.0;
    int32_t pixelStride = 3;
    int32_t channels = 3;
    int32_t elementType = kElement8u;
    int32_t planar = 0;
    int32_t interpolation = 1;
    int32_t mode = 1;

    int32_t Run(ResizeCoreFn core, const void* src, void* dst) const {
        return core(src, srcWidth, srcHeight, srcStep, roiX, roiY, roiWidth, roiHeight, dst,
                    dstStep, dstWidth, dstHeight, xFactor, yFactor, xShift, yShift, pixelStride,
                    channels, elementType, planar, interpolation, mode);
    }
};

// Bytes of pseudo-random content; floats are filled with values in [-2, 300) so that every
// bit pattern is an ordinary number.
inline std::vector<uint8_t> RandomImage(std::size_t bytes, int32_t elementType, uint32_t seed) {
    std::vector<uint8_t> image(bytes);
    std::mt19937 random(seed);
    if (elementType == kElement32f) {
        std::uniform_real_distribution<float> value(-2.0f, 300.0f);
        for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
            const float f = value(random);
            std::memcpy(&image[i], &f, 4);
        }
    } else {
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(random());
        }
    }
    return image;
}

}  // namespace resize::test

namespace resize::test {

struct Layout {
    const char* name;
    int32_t pixelStride;
    int32_t channels;
    int32_t planar;

    int32_t Planes() const { return planar == 0 ? 1 : (channels == 3 ? 3 : 4); }
    int32_t ElementsPerPixel() const { return planar == 0 ? pixelStride : 1; }
};

inline constexpr std::array<Layout, 6> kLayouts = {{{"C1", 1, 1, 0},
                                                    {"C3", 3, 3, 0},
                                                    {"AC4", 4, 3, 0},
                                                    {"C4", 4, 4, 0},
                                                    {"Planar3", 0, 3, 1},
                                                    {"Planar4", 0, 4, 1}}};

inline constexpr std::array<int32_t, 4> kInterpolations = {1, 2, 4, 16};
inline constexpr std::array<int32_t, 3> kElementTypes = {kElement8u, kElement16u, kElement32f};

inline const char* InterpolationName(int32_t interpolation) {
    return interpolation == 1   ? "Nearest"
           : interpolation == 2 ? "Linear"
           : interpolation == 4 ? "Cubic"
                                : "Lanczos";
}

inline const char* ElementName(int32_t elementType) {
    return elementType == kElement8u ? "8u" : elementType == kElement16u ? "16u" : "32f";
}

// The size the core makes of one axis in mode 1.
inline int32_t ReducedSize(int32_t roiSize, int32_t asked, double factor) {
    const double n = static_cast<int32_t>(roiSize * factor + 1e-7);
    return n < asked ? std::max(1, static_cast<int32_t>(n)) : asked;
}

// An image as planes of bytes (one plane for interleaved layouts), rows packed tightly.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t step = 0;  // bytes
    std::vector<std::vector<uint8_t>> planes;

    Picture() = default;
    Picture(const Layout& layout, int32_t elementType, int32_t w, int32_t h, uint8_t fill)
        : width(w),
          height(h),
          step(w * layout.ElementsPerPixel() * ElementBytes(elementType)),
          planes(layout.Planes(), std::vector<uint8_t>(static_cast<std::size_t>(step) * h, fill)) {}

    bool operator==(const Picture&) const = default;
};

inline Picture RandomPicture(const Layout& layout, int32_t elementType, int32_t w, int32_t h,
                             uint32_t seed) {
    Picture picture(layout, elementType, w, h, 0);
    for (auto& plane : picture.planes) {
        plane = RandomImage(plane.size(), elementType, seed++);
    }
    return picture;
}

// Random source planes and destination planes of the given steps and heights, each flush
// against an inaccessible page on the side the placement gives; Source() and Destination() are
// the arguments a resize operation takes for the layout.
class GuardedImages {
public:
    GuardedImages(const Layout& layout, int32_t elementType, int32_t srcStep, int32_t srcHeight,
                  int32_t dstStep, int32_t dstHeight, GuardedBuffer::Placement placement)
        : planar_(layout.planar != 0) {
        const std::size_t srcBytes = std::size_t(srcStep) * srcHeight;
        const std::size_t dstBytes = std::size_t(dstStep) * dstHeight;
        for (int32_t p = 0; p < layout.Planes(); ++p) {
            buffers_.push_back(std::make_unique<GuardedBuffer>(srcBytes, placement));
            const std::vector<uint8_t> content = RandomImage(srcBytes, elementType, p);
            std::memcpy(buffers_.back()->data(), content.data(), srcBytes);
            srcPlanes_.push_back(buffers_.back()->data());
            buffers_.push_back(std::make_unique<GuardedBuffer>(dstBytes, placement));
            dstPlanes_.push_back(buffers_.back()->data());
        }
    }

    const void* Source() const {
        return planar_ ? static_cast<const void*>(srcPlanes_.data()) : srcPlanes_[0];
    }
    void* Destination() { return planar_ ? static_cast<void*>(dstPlanes_.data()) : dstPlanes_[0]; }

private:
    bool planar_;
    std::vector<std::unique_ptr<GuardedBuffer>> buffers_;
    std::vector<const void*> srcPlanes_;
    std::vector<void*> dstPlanes_;
};

// One call of a guard-page test: the images, their rectangle and the destination's size.
struct GuardGeometry {
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t roiX;
    int32_t roiY;
    int32_t roiWidth;
    int32_t roiHeight;
};

struct GuardedCall {
    const void* src;
    void* dst;
    GuardGeometry g;
    int32_t srcStep;
    int32_t dstStep;
    int32_t dstWidth;
    int32_t dstHeight;
    double xFactor;
    double yFactor;
};

// Runs `call` for every geometry, factor pair and placement of the guard pages, on fresh images
// sized as the factors scale the clipped rectangle.
template <std::size_t G, std::size_t F, class Call>
void ForEachGuardedCall(const Layout& layout, int32_t elementType,
                        const std::array<GuardGeometry, G>& geometries,
                        const std::array<std::pair<double, double>, F>& factors, Call&& call) {
    const int32_t pixelBytes = layout.ElementsPerPixel() * ElementBytes(elementType);
    for (const GuardGeometry& g : geometries) {
        const int32_t roiWidth = std::min(g.roiWidth, g.srcWidth - g.roiX);
        const int32_t roiHeight = std::min(g.roiHeight, g.srcHeight - g.roiY);
        for (const auto& [xFactor, yFactor] : factors) {
            for (auto placement :
                 {GuardedBuffer::Placement::Front, GuardedBuffer::Placement::Back}) {
                const int32_t dstWidth = ReducedSize(roiWidth, 1 << 20, xFactor);
                const int32_t dstHeight = ReducedSize(roiHeight, 1 << 20, yFactor);
                const int32_t srcStep = g.srcWidth * pixelBytes;
                const int32_t dstStep = dstWidth * pixelBytes;
                GuardedImages images(layout, elementType, srcStep, g.srcHeight, dstStep, dstHeight,
                                     placement);
                call(GuardedCall{images.Source(), images.Destination(), g, srcStep, dstStep,
                                 dstWidth, dstHeight, xFactor, yFactor});
            }
        }
    }
}

struct Scaling {
    double xFactor;
    double yFactor;
    int32_t interpolation;
};

// Resizes the whole of src into a destination of the size the factors give, pre-filled with
// 0xEE bytes, through the given core.
inline int32_t ResizePicture(ResizeCoreFn core, const Layout& layout, int32_t elementType,
                             const Picture& src, const Scaling& scaling, Picture& dst) {
    dst = Picture(layout, elementType, ReducedSize(src.width, 1 << 20, scaling.xFactor),
                  ReducedSize(src.height, 1 << 20, scaling.yFactor), 0xEE);
    std::vector<const void*> srcPlanes;
    std::vector<void*> dstPlanes;
    for (std::size_t p = 0; p < src.planes.size(); ++p) {
        srcPlanes.push_back(src.planes[p].data());
        dstPlanes.push_back(dst.planes[p].data());
    }
    const void* srcArgument =
        layout.planar ? static_cast<const void*>(srcPlanes.data()) : srcPlanes[0];
    void* dstArgument = layout.planar ? static_cast<void*>(dstPlanes.data()) : dstPlanes[0];
    return core(srcArgument, src.width, src.height, src.step, 0, 0, src.width, src.height,
                dstArgument, dst.step, dst.width, dst.height, scaling.xFactor, scaling.yFactor, 0.0,
                0.0, layout.pixelStride, layout.channels, elementType, layout.planar,
                scaling.interpolation, 1);
}

}  // namespace resize::test
