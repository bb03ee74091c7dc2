#include "mainwindow/ptz_commands.h"

#include <gtest/gtest.h>

#include "kernel/device_list.h"
#include "platform/byte_order.h"

namespace {

const QRect kLargeVideo(42, 96, 640, 456);  // cells of 40 x 38

TEST(HotPointCellTest, ClicksFallOnTheGridAsTheDeviceCountsIt) {
    struct Case {
        QPoint point;
        bool fullScreen;
        std::optional<int> column;
        int row;
    };
    const QRect screen(0, 0, 800, 600);  // cells of 50 x 50
    const Case cases[] = {
        {{42 + 4 * 40, 100}, false, 3, 0},  // on the edge between 3 and 4
        {{42 + 1, 97}, false, 0, 0},
        {{42 + 639, 96 + 455}, false, 15, 11},
        {{42, 200}, false, std::nullopt, 0},  // on the frame: outside
        {{682, 200}, false, std::nullopt, 0},
        {{799 - 8 - 1, 599 - 8 - 1}, true, 15, 11},  // the screen's last cells
        {{5, 300}, true, std::nullopt, 0},           // within the 8-pixel margin
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x() << "," << c.point.y());
        const auto hit = HotPointCell(c.point, c.fullScreen ? screen : kLargeVideo, kLargeVideo,
                                      c.fullScreen, 0);
        ASSERT_EQ(hit.has_value(), c.column.has_value());
        if (hit) {
            EXPECT_EQ(hit->cell & 15, *c.column);
            EXPECT_EQ(hit->cell >> 4, c.row);
        }
    }
}

TEST(HotPointCellTest, BoxIsReportedInPicturePixels) {
    const auto window = HotPointCell({42 + 352, 96 + 10}, kLargeVideo, kLargeVideo, false, 6);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->boxX, 320);  // the 352-wide pictures
    EXPECT_EQ(window->boxY, 10);
    const auto full = HotPointCell({400, 300}, QRect(0, 0, 800, 600), kLargeVideo, true, 0);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->boxX, 320);
    EXPECT_EQ(full->boxY, 228);
}

TEST(PtzPacketTest, PacketsAndSelectBodies) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(HotPointPacket(8, 3, 60, 0x23), (Bytes{0x05, 0xD0, 3, 0x52, 0x23, 0, 0x01, 0x32}));
    const std::uint8_t sum = static_cast<std::uint8_t>(0xD0 + 3 + 60 + 0x52 + 0x23);
    EXPECT_EQ(HotPointPacket(18, 3, 60, 0x23),
              (Bytes{0x07, 0xD0, 3, 60, 0x52, 0x23, 0, sum, 0x01, 0x32}));
    EXPECT_EQ(HotPointPacket(19, 3, 60, 0x23), (Bytes{0, 0, 0}));
    EXPECT_EQ(PtzSelectBody(1), (Bytes{0x02, 0x05, 0x06, 0x01, 0x32}));
    EXPECT_EQ(PtzSelectBody(16), (Bytes{0x02, 0x06, 0x0B, 0x01, 0x32}));
    EXPECT_EQ(PtzSelectBody(0), (Bytes{0x01, 0x10, 0x01, 0x32}));
}

TEST(StatusTextTest, ProgressCodes) {
    EXPECT_EQ(StatusTextOfCode(0, 0), "ESCAPED TIME:  00:00");
    EXPECT_EQ(StatusTextOfCode(0, 3'599), "ESCAPED TIME:  59:59");
    EXPECT_EQ(StatusTextOfCode(0, 6'000), "ESCAPED TIME:  100:00");
    EXPECT_EQ(StatusTextOfCode(1, 0), "Start login");
    EXPECT_EQ(StatusTextOfCode(3, 0), "Login process is failed,wait a moment !!");
    for (int silent : {4, 5, 6, 8, 9}) {
        EXPECT_FALSE(StatusTextOfCode(silent, 0)) << silent;
    }
}

TEST(RebuildDeviceListTest, BusEntriesReplaceThePeripheralsAndTheServerStays) {
    CDeviceList devices;
    devices.Add(0, 0, 19, CDeviceList::kMasterKind);
    devices.Add(2400, 9, 11, CDeviceList::kPeripheralKind);
    std::array<std::uint8_t, 124> rs485{};
    // Entry 0: PTZ on the P-D protocol; entry 1: PTZ on another protocol; entry 2: no PTZ.
    rs485[12] = 1, rs485[28] = 1, rs485[44] = 1;
    rs485[13] = 2, rs485[29] = 1, rs485[45] = 0;
    rs485[14] = 3, rs485[30] = 0, rs485[46] = 1;
    platform::PutU32(&rs485[60], 9600);
    platform::PutU32(&rs485[64], 4800);
    EXPECT_FALSE(RebuildDeviceList(devices, rs485));
    EXPECT_TRUE(devices.IsCurrentMaster()) << "the master had the keys and keeps them";

    EXPECT_EQ(devices.Count(), 17);
    EXPECT_EQ(devices.GetMasterType(), 19);
    const struct {
        std::uint8_t id;
        std::uint8_t type;
        std::uint32_t baud;
    } expected[] = {{1, 18, 9600}, {2, 11, 4800}, {3, 0, 0}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const DeviceListEntry entry = devices.Entry(1 + i);
        EXPECT_EQ(entry.bDeviceID, expected[i].id) << i;
        EXPECT_EQ(entry.bDeviceType, expected[i].type) << i;
        EXPECT_EQ(entry.dwBaudRate, expected[i].baud) << i;
        EXPECT_TRUE(entry.wFlags & DeviceListEntry::kPeripheral) << i;
    }
}

TEST(RebuildDeviceListTest, APeripheralKeepsTheKeysOnlyWhileItIsStillAPtz) {
    const struct {
        std::uint8_t kind;      // RS485 byte 28 + i of the current peripheral's entry
        std::uint8_t protocol;  // byte 44 + i
        bool keepsKeys;
    } cases[] = {{1, 0, true}, {1, 1, true}, {0, 0, false}, {0, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.kind) << "/" << int(c.protocol));
        CDeviceList devices;
        devices.Add(0, 0, 19, CDeviceList::kMasterKind);
        devices.Add(2400, 1, 11, CDeviceList::kPeripheralKind);
        devices.Add(2400, 2, 11, CDeviceList::kPeripheralKind);
        ASSERT_EQ(devices.Select(CDeviceList::kPeripheralKind, 1), 0);
        std::array<std::uint8_t, 124> rs485{};
        rs485[12] = 1, rs485[28] = 1;
        rs485[13] = 7, rs485[29] = c.kind, rs485[45] = c.protocol;

        EXPECT_EQ(RebuildDeviceList(devices, rs485), !c.keepsKeys);
        EXPECT_EQ(devices.IsCurrentMaster() == 0, c.keepsKeys);
        if (c.keepsKeys) {
            EXPECT_EQ(devices.GetOrdinal(), 1);
            EXPECT_EQ(devices.GetCurrentId(), 7);
        }
    }
}

}  // namespace
