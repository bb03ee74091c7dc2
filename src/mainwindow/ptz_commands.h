#pragma once

// The byte strings the main window sends on its own to "/RS485Cmd.cgi" (the hot-point cell and
// the hand-over of the key panel to a PTZ peripheral), the hot-point grid, and the status-line
// texts of the re-login thread's progress codes. Plain functions, so the rules are testable
// without a window.

#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kHotPointColumns = 16;
inline constexpr int kHotPointRows = 12;

struct HotPointHit {
    std::uint8_t cell = 0;   // column in the low four bits, row in the high four
    std::uint16_t boxX = 0;  // the click in picture pixels
    std::uint16_t boxY = 0;
};

class CDeviceList;

// Replaces the peripherals of the device list with the sixteen RS-485 entries of the RS485
// section as the configuration sheet left them: a PTZ entry on the P-D protocol is type 18, any
// other PTZ entry type 11, the rest type 0. The masters stay: they are the connected server. A
// peripheral that had the keys keeps them while its entry is still a PTZ unit; otherwise they go
// back to the master, and the result is true: the PTZ button must show its idle image.
bool RebuildDeviceList(CDeviceList& devices, const std::array<std::uint8_t, 124>& rs485);

// Where a click at `point` falls on the grid laid over `grid` (the video rectangle, or the screen
// in full screen, where `fullScreen` keeps 8 pixels of margin); `video` is the video rectangle
// the box is reported against. Nothing for a click outside the grid.
std::optional<HotPointHit> HotPointCell(QPoint point, const QRect& grid, const QRect& video,
                                        bool fullScreen, std::uint8_t pictureSizeCode);

// The serial packet of a hot-point cell for a device type: 8 bytes for type 8, 10 with a checksum
// for types 11 and 18, an empty 3-byte packet for the others.
std::vector<std::uint8_t> HotPointPacket(int deviceType, std::uint8_t deviceId, std::uint8_t level,
                                         std::uint8_t cell);

// The key-command body that hands the key panel to peripheral `n` (1 to 16), or back to the
// master for 0.
std::vector<std::uint8_t> PtzSelectBody(int n);

// A master of type 14 or 19 reads its peripherals with "/PTZReset.cgi" and gates some keys.
bool IsSlaveListType(int type);

// A client point packed into a message parameter as the window system does, and back.
std::intptr_t PointParam(QPoint point);
QPoint ParamPoint(std::intptr_t lParam);

// The status-line text of a WM_SHOWSTATUS code, or nothing when the code shows no text.
std::optional<std::string> StatusTextOfCode(std::intptr_t code, std::uintptr_t seconds);
