#include "mainwindow/skin_tables.h"

#include <gtest/gtest.h>

#include "widgets/skin_files.h"

namespace {

SkinRect LayoutRectAt(const LayoutRow& L, int first) {
    return {L[first], L[first + 1], L[first + 2], L[first + 3]};
}

bool Overlap(const SkinRect& a, const SkinRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The image a key shows first in a layout mode: the group's first image, or state 0 of a
// two-state key.
std::string_view FirstImage(const SkinKeyRecord& key, int mode) {
    if ((key.kind & 0xFF) == kKeyThreeImage) {
        return key.bitmap[3 * mode];
    }
    return key.bitmap[mode < 2 ? 0 : 6];
}

// Every key a device type shows lies in the open window below the picture, clear of the other
// keys and of the panel-close button, and its images fill its rectangle exactly.
TEST(DeviceTypeSkinTable, ShownKeysFitThePanelWithoutOverlap) {
    for (int type = 0; type < static_cast<int>(kDeviceTypeCount); ++type) {
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE(testing::Message() << "type " << type << " mode " << mode);
            const LayoutRow& L = LayoutRectTable[mode];
            const SkinRect window = LayoutRectAt(L, layout_word::kOpen);
            const SkinRect close{L[28], L[29], L[28] + L[30], L[29] + L[31]};
            const auto& keys = DeviceTypeSkinTable()[type].keys;
            for (int k = 0; k < static_cast<int>(kRemoteKeyCount); ++k) {
                const SkinKeyRecord& key = keys[k];
                if (!(key.flags & key_flag::kOnPanel)) {
                    continue;
                }
                const SkinRect& r = key.rect[mode];
                EXPECT_GE(r.left, window.left) << k;
                EXPECT_LE(r.right, window.right) << k;
                EXPECT_GT(r.top, L[15]) << k;
                EXPECT_LE(r.bottom, window.bottom) << k;
                EXPECT_FALSE(Overlap(r, close)) << k;
                const ui::SkinFile* image = ui::FindSkinFile(FirstImage(key, mode));
                ASSERT_NE(image, nullptr) << k;
                EXPECT_EQ(r.Width(), image->width) << k;
                EXPECT_EQ(r.Height(), image->height) << k;
                for (int other = k + 1; other < static_cast<int>(kRemoteKeyCount); ++other) {
                    if (keys[other].flags & key_flag::kOnPanel) {
                        EXPECT_FALSE(Overlap(r, keys[other].rect[mode])) << k << " and " << other;
                    }
                }
            }
        }
    }
}

TEST(DeviceTypeSkinTable, PalRectanglesAreTheNtscOnesMovedDown) {
    for (const DeviceTypeSkin& skin : DeviceTypeSkinTable()) {
        for (const SkinKeyRecord& key : skin.keys) {
            for (int mode : {2, 3}) {
                const std::int32_t shift = mode == 2 ? 96 : 48;
                const SkinRect& ntsc = key.rect[mode - 2];
                EXPECT_EQ(key.rect[mode],
                          (SkinRect{ntsc.left, ntsc.top + shift, ntsc.right, ntsc.bottom + shift}));
            }
        }
    }
    const auto& type1 = DeviceTypeSkinTable()[1].keys;
    EXPECT_EQ(type1[0].rect[0], (SkinRect{8, 568, 26, 586}));
    EXPECT_EQ(type1[0].rect[1], (SkinRect{9, 328, 27, 346}));
    EXPECT_EQ(type1[54].rect[0], (SkinRect{580, 600, 601, 623}));
    EXPECT_EQ(type1[54].rect[3], (SkinRect{262, 427, 283, 450}));
}

TEST(DeviceTypeSkinTable, WhichTypesCarryWhichKeys) {
    const auto& table = DeviceTypeSkinTable();
    for (const SkinKeyRecord& key : table[0].keys) {
        EXPECT_EQ(key.flags, 0) << "a camera has no remote keys";
    }
    EXPECT_EQ(table[0].trailer.flags & kTypeKeysInClosedWindow, kTypeKeysInClosedWindow);
    for (int type = 0; type < static_cast<int>(kDeviceTypeCount); ++type) {
        SCOPED_TRACE(type);
        EXPECT_EQ(table[type].keys[61].flags != 0, type == 15 || type == 19) << "R.E.T.R.";
        EXPECT_EQ(table[type].trailer.typeIndex, static_cast<std::uint32_t>(type));
        for (int k = 0; k < static_cast<int>(kRemoteKeyCount); ++k) {
            EXPECT_EQ(table[type].keys[k].keyIndex, k);
        }
    }
    EXPECT_EQ(table[15].keys[61].flags, 0x23) << "the R.E.T.R. key of type 15 is a supervisor's";
    EXPECT_EQ(table[15].keys[44].flags & key_flag::kRank30, key_flag::kRank30);
    EXPECT_EQ(table[16].keys[44].flags & key_flag::kRank30, key_flag::kRank30);
    EXPECT_EQ(table[19].trailer.name, "KLM 300 DVR");
}

TEST(DeviceTypeSkinTable, PtzTypesNamePresetsOnTheChannelKeys) {
    for (int type = 0; type < static_cast<int>(kDeviceTypeCount); ++type) {
        const bool ptz = type == 8 || type == 11 || type == 17 || type == 18;
        for (int k = 0; k < 16; ++k) {
            const SkinKeyRecord& key = DeviceTypeSkinTable()[type].keys[k];
            EXPECT_EQ(key.controlId, 8250 + k);
            EXPECT_EQ(key.tipId, ptz ? 8333 + k : 8250 + k) << "type " << type << " key " << k;
        }
    }
}

// The command buttons sit side by side from the first row's place, inside the window and clear
// of the title-bar buttons.
TEST(CommandButtonTable, RowsFitTheirWindows) {
    for (int mode = 0; mode < 4; ++mode) {
        const LayoutRow& L = LayoutRectTable[mode];
        const SkinRect& first = CommandButtonTable()[0].rect[mode];
        EXPECT_LE(first.left + kCommandButtonCount * first.Width(), L[2]);
        EXPECT_GE(first.top, L[33] + L[35]);
        for (const CommandButtonRow& row : CommandButtonTable()) {
            const ui::SkinFile* image = ui::FindSkinFile(row.images[0]);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->width, first.Width());
            EXPECT_EQ(image->height, first.Height());
        }
    }
}

}  // namespace
