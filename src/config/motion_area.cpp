#include "config/motion_area.h"

#include <algorithm>
#include <cstring>

namespace config {

namespace {

constexpr int kTintRed = 100;  // the weight of the tint; the picture keeps 255 - 100 of 255
constexpr int kKeep = 255 - kTintRed;
constexpr std::uint16_t kHalvedSourceColumns = 2 * kStillMaxWidth;

struct Colour {
    std::uint8_t blue, green, red;
};
constexpr Colour kHoverOutline{255, 0, 0};
constexpr Colour kAreaOutline{0, 255, 255};

std::size_t ByteOf(int cell) {
    return static_cast<std::size_t>(cell / 8) ^ 1u;
}

std::uint8_t BitOf(int cell) {
    return static_cast<std::uint8_t>(1u << (cell % 8));
}

// Pixel (x, y) with y counted from the top of a bottom-up picture.
std::uint8_t* PixelAt(Still& picture, int x, int y) {
    const std::size_t row = static_cast<std::size_t>(picture.height - 1 - y);
    return &picture.pixels[(row * picture.width + static_cast<std::size_t>(x)) * 3];
}

void Paint(Still& picture, int x, int y, Colour c) {
    std::uint8_t* p = PixelAt(picture, x, y);
    p[0] = c.blue;
    p[1] = c.green;
    p[2] = c.red;
}

}  // namespace

bool IsCellSet(const MotionAreaMask& mask, int cell) {
    return cell >= 0 && cell < kGridCells && (mask[ByteOf(cell)] & BitOf(cell)) != 0;
}

void SetCell(MotionAreaMask& mask, int cell, bool on) {
    if (cell < 0 || cell >= kGridCells) {
        return;
    }
    if (on) {
        mask[ByteOf(cell)] |= BitOf(cell);
    } else {
        mask[ByteOf(cell)] &= static_cast<std::uint8_t>(~BitOf(cell));
    }
}

void ToggleCell(MotionAreaMask& mask, int cell) {
    SetCell(mask, cell, !IsCellSet(mask, cell));
}

bool AnyCellSet(const MotionAreaMask& mask) {
    return std::any_of(mask.begin(), mask.end(), [](std::uint8_t b) { return b != 0; });
}

bool TakeStill(const std::uint8_t* frame, std::uint16_t width, std::uint16_t height,
               std::size_t capacity, Still& still) {
    const std::size_t bytes = std::size_t{width} * height * 3;
    if (frame == nullptr || width == 0 || height == 0 || bytes > capacity) {
        return false;
    }
    if (width <= kStillMaxWidth) {
        still.width = width;
        still.height = height;
        still.pixels.assign(frame, frame + bytes);
        return true;
    }
    const auto halvedHeight = static_cast<std::uint16_t>(height / 2);
    if (halvedHeight == 0) {
        return false;
    }
    still.width = kStillMaxWidth;
    still.height = halvedHeight;
    // A frame narrower than 640 pixels fills only part of the row; the rest stays black rather
    // than showing whatever the buffer held.
    still.pixels.assign(std::size_t{kStillMaxWidth} * halvedHeight * 3, 0);
    const std::size_t sourceColumns = std::min(width, kHalvedSourceColumns);
    for (std::size_t y = 0; y < halvedHeight; ++y) {
        const std::uint8_t* source = frame + 2 * y * width * 3;
        std::uint8_t* target = &still.pixels[y * kStillMaxWidth * 3];
        for (std::size_t x = 0; x < sourceColumns; x += 2) {
            std::memcpy(target + x / 2 * 3, source + x * 3, 3);
        }
    }
    return true;
}

Still BlankStill(std::uint16_t width, std::uint16_t height) {
    return Still{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 3, 0)};
}

void DrawMotionOverlay(Still& picture, const MotionAreaMask& area, const MotionAreaMask& hover) {
    const int cellWidth = picture.width / kGridColumns;
    const int cellHeight = picture.height / kGridRows;
    if (cellWidth == 0 || cellHeight == 0 ||
        picture.pixels.size() < std::size_t{picture.width} * picture.height * 3) {
        return;
    }
    for (int cell = 0; cell < kGridCells; ++cell) {
        const int left = cell % kGridColumns * cellWidth;
        const int top = cell / kGridColumns * cellHeight;
        const int right = left + cellWidth - 1;
        const int bottom = top + cellHeight - 1;
        if (IsCellSet(area, cell)) {
            for (int y = top; y <= bottom; ++y) {
                for (int x = left; x <= right; ++x) {
                    std::uint8_t* p = PixelAt(picture, x, y);
                    p[0] = static_cast<std::uint8_t>(p[0] * kKeep / 255);
                    p[1] = static_cast<std::uint8_t>(p[1] * kKeep / 255);
                    p[2] = static_cast<std::uint8_t>(kTintRed + p[2] * kKeep / 255);
                }
            }
        }
        Colour outline{};
        if (IsCellSet(hover, cell)) {
            outline = kHoverOutline;
        } else if (IsCellSet(area, cell)) {
            outline = kAreaOutline;
        } else {
            continue;
        }
        for (int x = left; x <= right; ++x) {
            Paint(picture, x, top, outline);
            Paint(picture, x, bottom, outline);
        }
        for (int y = top; y <= bottom; ++y) {
            Paint(picture, left, y, outline);
            Paint(picture, right, y, outline);
        }
    }
}

int MotionGrid::CellAt(int x, int y) const {
    if (x < x0 || y < y0 || x >= x0 + Width() || y >= y0 + Height()) {
        return -1;
    }
    return (y - y0) / cellHeight * kGridColumns + (x - x0) / cellWidth;
}

MotionAreaMask MotionGrid::CellsMeeting(int left, int top, int right, int bottom) const {
    MotionAreaMask cells{};
    for (int cell = 0; cell < kGridCells; ++cell) {
        const int cellLeft = x0 + cell % kGridColumns * cellWidth;
        const int cellTop = y0 + cell / kGridColumns * cellHeight;
        const bool meets = cellLeft <= right && cellLeft + cellWidth >= left && cellTop <= bottom &&
                           cellTop + cellHeight >= top;
        SetCell(cells, cell, meets);
    }
    return cells;
}

}  // namespace config
