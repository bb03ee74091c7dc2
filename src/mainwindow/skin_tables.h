#pragma once

// The main window has no layout resource: every rectangle, button and skin image comes from
// these tables. They are read-only while the program runs. (Each device type's remote-control
// protocol is bound at start-up into KernelObject::m_DeviceProtocol.)
//
// Every bitmap name in them is an entry of the skin file table (ui/skin_files.h); the views
// point into that table.

#include <array>
#include <cstdint>
#include <string_view>

#include "kernel/ctrl_protocol.h"
#include "kernel/device_list.h"
#include "kernel/user_class.h"

inline constexpr int kLayoutModeCount = 6;
inline constexpr int kLayoutWordCount = 79;
inline constexpr int kChannelStripCount = 19;
inline constexpr int kCommandButtonCount = 6;

// Word indices of a LayoutRectTable row.
namespace layout_word {
inline constexpr int kClosed = 0;      // window with the key panel closed: left, top, right, bottom
inline constexpr int kOpen = 4;        // window with the key panel open
inline constexpr int kBackground = 8;  // background rectangle
inline constexpr int kVideo = 12;      // video rectangle
inline constexpr int kStatus = 16;     // status-line rectangle
inline constexpr int kPower = 20;      // power button: width, height, right edge, top
inline constexpr int kPanelOpen = 24;  // button 8192: left, top, width, height
inline constexpr int kPanelClose = 28;    // button 8193: left, top, width, height
inline constexpr int kTitleButtons = 32;  // first left, top, width, height, gap
inline constexpr int kAddressText = 69;   // origin of the device address text
inline constexpr int kStatusIcon = 75;    // icon rectangle of the status line
}  // namespace layout_word

using LayoutRow = std::array<std::uint16_t, kLayoutWordCount>;

// One row per layout mode: 0 NTSC 640 wide, 1 NTSC 320, 2 PAL 640, 3 PAL 320, 4 and 5 the
// 176-wide pictures shown in the windows of modes 1 and 3.
extern const std::array<LayoutRow, kLayoutModeCount> LayoutRectTable;

struct SkinRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool operator==(const SkinRect&) const = default;
};

// Flags of a remote key.
namespace key_flag {
inline constexpr std::uint16_t kEnabled = 0x1;
inline constexpr std::uint16_t kOnPanel = 0x2;      // shown while the key panel is open
inline constexpr std::uint16_t kFollowsMode = 0x4;  // images reloaded on each layout switch
inline constexpr std::uint16_t kTurboCarried = 0x8;
inline constexpr std::uint16_t kThirdImage = 0x10;    // all three images are the group's third
inline constexpr std::uint16_t kLevel30Only = 0x20;   // shown only at user level 30
inline constexpr std::uint16_t kRank30 = 0x40;        // shown only to a rank of 30 or more
inline constexpr std::uint16_t kTipFirstWord = 0x80;  // tooltip: first word of the id's string
inline constexpr std::uint16_t kTipSecondWord = 0x100;
}  // namespace key_flag

// Kinds of a remote key (the low byte is tested; the value is the button's style).
inline constexpr std::uint16_t kKeyThreeImage = 0x02;

struct SkinKeyRecord {
    std::array<SkinRect, 4> rect;  // per layout mode 0 to 3
    std::uint16_t flags;
    std::uint16_t tipId;
    // Four groups of three, group g for layout mode g: first, second, third image. A two-state
    // key holds (image, hover image) of state 0 and state 1 in 0 to 3 (modes 0 and 1) and in 6
    // to 9 (modes 2 and 3). Empty: no image.
    std::array<std::string_view, 12> bitmap;
    std::uint16_t kind;
    std::uint16_t controlId;
    std::uint16_t keyIndex;
};

// Device-type flag: the keys sit in the closed window and the type has no key panel.
inline constexpr std::uint32_t kTypeKeysInClosedWindow = 0x2;

struct SkinTypeTrailer {
    std::string_view name;
    std::uint32_t flags;
    std::uint32_t typeIndex;
};

struct DeviceTypeSkin {
    std::array<SkinKeyRecord, kRemoteKeyCount> keys;
    SkinTypeTrailer trailer;
};

// Indexed by device type code 0 to 19.
const std::array<DeviceTypeSkin, kDeviceTypeCount>& DeviceTypeSkinTable();

struct ChannelStripRow {
    std::array<SkinRect, 4> rect;  // equal in every layout mode
    std::uint16_t tipId;
    // Enabled, enabled hover, disabled, disabled hover (the paging arrows: flat, focus, pressed).
    std::array<std::string_view, 4> bitmap;
    std::uint16_t controlId;
    std::uint16_t index;
};

const std::array<ChannelStripRow, kChannelStripCount>& ChannelStripTable();

struct CommandButtonRow {
    std::array<SkinRect, 4> rect;
    std::uint16_t tipId;
    std::array<std::string_view, 6> images;  // an empty name ends the list
    std::array<std::string_view, 6> disabledImages;
    std::uint16_t style;
    std::uint16_t controlId;
    std::uint16_t index;
};

const std::array<CommandButtonRow, kCommandButtonCount>& CommandButtonTable();

// The image group of a layout mode: modes 4 and 5 use the windows of modes 1 and 3.
int LayoutGroup(int layoutMode);
