#pragma once

// The motion-detection area of a channel: a grid of 16 x 12 cells over the picture, one bit per
// cell, and what the area editor computes around it without a window: the still it shows (a frame
// copy halved to at most 320 pixels across), the overlay drawn into that still, and which screen
// cells a point or a drag rectangle covers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace config {

inline constexpr int kGridColumns = 16;
inline constexpr int kGridRows = 12;
inline constexpr int kGridCells = kGridColumns * kGridRows;
inline constexpr std::size_t kMaskBytes = kGridCells / 8;

// Cell n = 16 * row + column is bit (n mod 8) of byte (n div 8) XOR 1: each row is a big-endian
// 16-bit word whose bit c is column c.
using MotionAreaMask = std::array<std::uint8_t, kMaskBytes>;

bool IsCellSet(const MotionAreaMask& mask, int cell);
void SetCell(MotionAreaMask& mask, int cell, bool on);
void ToggleCell(MotionAreaMask& mask, int cell);
bool AnyCellSet(const MotionAreaMask& mask);

// A picture as the frame painter copies it: 24-bit pixels in blue, green, red order, bottom row
// first, rows of width * 3 bytes.
struct Still {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint8_t> pixels;
};

inline constexpr std::uint16_t kStillMaxWidth = 320;

// The still of a copied frame: a frame wider than 320 pixels is halved (every second pixel of
// every second row, at most its left 640 columns) to 320 pixels across. False, leaving `still`
// alone, when there is no frame or its size does not fit `capacity` bytes.
bool TakeStill(const std::uint8_t* frame, std::uint16_t width, std::uint16_t height,
               std::size_t capacity, Still& still);
// A black still, shown until a frame comes.
Still BlankStill(std::uint16_t width, std::uint16_t height);

// Tints the cells of `area` red and outlines them in yellow; the cells of `hover` get a blue
// outline instead. The cell size is the picture size divided by the grid, in whole pixels.
void DrawMotionOverlay(Still& picture, const MotionAreaMask& area, const MotionAreaMask& hover);

// The grid as it lies on the screen: cells of a fixed pixel size from an origin.
struct MotionGrid {
    int x0 = 0;
    int y0 = 0;
    int cellWidth = 20;
    int cellHeight = 19;

    int Width() const { return cellWidth * kGridColumns; }
    int Height() const { return cellHeight * kGridRows; }
    // The cell under a point, -1 outside the grid.
    int CellAt(int x, int y) const;
    // Every cell whose rectangle, both borders included, meets the rectangle from (left, top) to
    // (right, bottom), both included.
    MotionAreaMask CellsMeeting(int left, int top, int right, int bottom) const;
};

}  // namespace config
