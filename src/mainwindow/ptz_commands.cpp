#include "mainwindow/ptz_commands.h"

#include <numeric>

#include "kernel/device_list.h"
#include "platform/byte_order.h"

namespace {

// Column (or row) of `x` on a grid line starting at `first` with cells of `cell` pixels: a point
// on a cell's far edge belongs to that cell.
int GridIndex(int x, int first, int cell, int count) {
    int index = 0;
    for (int edge = first + cell; index < count && edge < x; edge += cell) {
        ++index;
    }
    // A click in the strip the integer cell size leaves over still belongs to the last cell.
    return std::min(index, count - 1);
}

std::string TwoDigits(long value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

bool IsSlaveListType(int type) {
    return type == NETWORK_DMR_16CH || type == KLM300_DVR;
}

std::intptr_t PointParam(QPoint point) {
    return static_cast<std::intptr_t>((point.x() & 0xFFFF) | ((point.y() & 0xFFFF) << 16));
}

QPoint ParamPoint(std::intptr_t lParam) {
    return QPoint(static_cast<std::int16_t>(lParam & 0xFFFF),
                  static_cast<std::int16_t>((lParam >> 16) & 0xFFFF));
}

std::optional<HotPointHit> HotPointCell(QPoint point, const QRect& grid, const QRect& video,
                                        bool fullScreen, std::uint8_t pictureSizeCode) {
    const int left = grid.left();
    const int top = grid.top();
    const int right = grid.left() + grid.width();
    const int bottom = grid.top() + grid.height();
    const int margin = fullScreen ? 8 : 0;
    const int x = point.x();
    const int y = point.y();
    if (!(left + margin < x && x < right - margin && top + margin < y && y < bottom - margin)) {
        return std::nullopt;
    }
    const int cellWidth = grid.width() / kHotPointColumns;
    const int cellHeight = grid.height() / kHotPointRows;
    if (cellWidth <= 0 || cellHeight <= 0) {
        return std::nullopt;
    }
    const int column = GridIndex(x, left, cellWidth, kHotPointColumns);
    const int row = GridIndex(y, top, cellHeight, kHotPointRows);

    HotPointHit hit;
    hit.cell = static_cast<std::uint8_t>((column & 15) + 16 * (row & 15));
    if (fullScreen) {
        hit.boxX = static_cast<std::uint16_t>((x - left) * video.width() / grid.width());
        hit.boxY = static_cast<std::uint16_t>((y - top) * video.height() / grid.height());
    } else {
        hit.boxX = static_cast<std::uint16_t>(x - video.left());
        hit.boxY = static_cast<std::uint16_t>(y - video.top());
    }
    if (pictureSizeCode == 6 || pictureSizeCode == 7) {
        hit.boxX = static_cast<std::uint16_t>(static_cast<unsigned>(hit.boxX) * 320u / 352u);
    }
    return hit;
}

std::vector<std::uint8_t> HotPointPacket(int deviceType, std::uint8_t deviceId, std::uint8_t level,
                                         std::uint8_t cell) {
    if (deviceType == 8) {
        return {0x05, 0xD0, deviceId, 0x52, cell, 0x00, 0x01, 0x32};
    }
    if (deviceType == 11 || deviceType == 18) {
        const std::vector<std::uint8_t> summed = {0xD0, deviceId, level, 0x52, cell, 0x00};
        const auto sum =
            static_cast<std::uint8_t>(std::accumulate(summed.begin(), summed.end(), 0u));
        std::vector<std::uint8_t> packet = {0x07};
        packet.insert(packet.end(), summed.begin(), summed.end());
        packet.insert(packet.end(), {sum, 0x01, 0x32});
        return packet;
    }
    return {0x00, 0x00, 0x00};
}

std::vector<std::uint8_t> PtzSelectBody(int n) {
    if (n == 0) {
        return {0x01, 0x10, 0x01, 0x32};
    }
    // Two digit codes (digit + 5) of the number with a leading zero.
    return {0x02, static_cast<std::uint8_t>(n / 10 + 5), static_cast<std::uint8_t>(n % 10 + 5),
            0x01, 0x32};
}

std::optional<std::string> StatusTextOfCode(std::intptr_t code, std::uintptr_t seconds) {
    switch (code) {
        case 0: {
            const auto value = static_cast<long>(seconds);
            return "ESCAPED TIME:  " + TwoDigits(value / 60) + ":" + TwoDigits(value % 60);
        }
        case 1:
            return "Start login";
        case 2:
            return "Server is too busy!! Try later !!";
        case 3:
            return "Login process is failed,wait a moment !!";
        case 7:
            return "System relogin too many user.Wait for 40 sec!!\nApplication will try again.";
        default:
            return std::nullopt;
    }
}

bool RebuildDeviceList(CDeviceList& devices, const std::array<std::uint8_t, 124>& rs485) {
    constexpr std::uint8_t kPtzKind = 1;
    constexpr std::uint8_t kPdProtocol = 1;
    constexpr std::uint8_t kPtzPdType = 18;
    constexpr std::uint8_t kPtzType = 11;
    const bool wasMaster = devices.IsCurrentMaster() != 0;
    const std::uint8_t ordinal = devices.GetOrdinal();
    devices.Compact();
    for (std::size_t i = 0; i < 16; ++i) {
        std::uint8_t type = 0;
        if (rs485[28 + i] == kPtzKind) {
            type = rs485[44 + i] == kPdProtocol ? kPtzPdType : kPtzType;
        }
        devices.Add(platform::GetU32(&rs485[60 + 4 * i]), rs485[12 + i], type,
                    CDeviceList::kPeripheralKind);
    }
    if (wasMaster) {
        return false;
    }
    const std::uint8_t type = devices.GetPeripheralTypeAt(ordinal);
    if (type == kPtzType || type == kPtzPdType) {
        devices.Select(CDeviceList::kPeripheralKind, ordinal);
        return false;
    }
    devices.Select(CDeviceList::kMasterKind, 0);
    return true;
}
