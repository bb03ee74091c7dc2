#include "mainwindow/skin_tables.h"

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "widgets/skin_files.h"
#include "widgets/vtx_button.h"

namespace {

// Words 0 to 36 of a row, then the painter's words 69, 70 and 75 to 78.
constexpr LayoutRow MakeLayoutRow(std::initializer_list<std::uint16_t> words0to36,
                                  std::uint16_t w69, std::uint16_t w70,
                                  std::initializer_list<std::uint16_t> words75to78) {
    LayoutRow row{};
    std::size_t i = 0;
    for (std::uint16_t w : words0to36) {
        row[i++] = w;
    }
    row[69] = w69;
    row[70] = w70;
    i = 75;
    for (std::uint16_t w : words75to78) {
        row[i++] = w;
    }
    return row;
}

// The picture's name and the bitmap's own spelling: every name must be a skin file.
std::string_view SkinName(const std::string& name) {
    const ui::SkinFile* file = ui::FindSkinFile(name);
    if (file == nullptr) {
        throw std::logic_error("skin table names a bitmap that is not a skin file: " + name);
    }
    return file->name;
}

}  // namespace

// clang-format off
const std::array<LayoutRow, kLayoutModeCount> LayoutRectTable = {
    MakeLayoutRow({0, 0, 722, 608,  0, 0, 722, 680,  0, 0, 722, 608,  42, 96, 682, 552,
                   6, 63, 714, 83,  26, 26, 584, 34,  345, 571, 32, 32,  345, 643, 32, 32,
                   663, 8, 13, 13, 4}, 542, 7, {685, 65, 698, 81}),
    MakeLayoutRow({0, 0, 370, 366,  0, 0, 370, 461,  0, 0, 370, 366,  24, 90, 344, 318,
                   6, 63, 362, 83,  26, 26, 232, 35,  166, 329, 32, 32,  166, 424, 32, 32,
                   311, 8, 13, 13, 4}, 190, 7, {333, 65, 346, 81}),
    MakeLayoutRow({0, 0, 722, 705,  0, 0, 722, 776,  0, 0, 722, 705,  42, 96, 682, 648,
                   6, 63, 714, 83,  26, 26, 584, 34,  345, 668, 32, 32,  345, 740, 32, 32,
                   663, 8, 13, 13, 4}, 542, 7, {685, 65, 698, 81}),
    MakeLayoutRow({0, 0, 370, 414,  0, 0, 370, 509,  0, 0, 370, 414,  24, 90, 344, 366,
                   6, 63, 362, 83,  26, 26, 232, 35,  166, 377, 32, 32,  166, 472, 32, 32,
                   311, 8, 13, 13, 4}, 190, 7, {333, 65, 346, 81}),
    MakeLayoutRow({0, 0, 370, 366,  0, 0, 370, 461,  0, 0, 370, 366,  96, 148, 272, 260,
                   6, 63, 362, 83,  26, 26, 232, 35,  166, 329, 32, 32,  166, 424, 32, 32,
                   311, 8, 13, 13, 4}, 190, 7, {333, 65, 346, 81}),
    MakeLayoutRow({0, 0, 370, 414,  0, 0, 370, 509,  0, 0, 370, 414,  96, 132, 272, 276,
                   6, 63, 362, 83,  26, 26, 232, 35,  166, 377, 32, 32,  166, 472, 32, 32,
                   311, 8, 13, 13, 4}, 190, 7, {333, 65, 346, 81}),
};
// clang-format on

int LayoutGroup(int layoutMode) {
    switch (layoutMode) {
        case 4:
            return 1;
        case 5:
            return 3;
        default:
            return layoutMode >= 0 && layoutMode < 4 ? layoutMode : 0;
    }
}

namespace {

// ---------------------------------------------------------------------------------------------
// Remote keys. A key's images follow from its face family; its place from the slots of its
// placement family in each layout family (VGA, QVGA); PAL windows are the NTSC ones moved down.

enum class Face {
    Plain,      // the same three names in every group: stem, stem + hover suffix, stem
    Transport,  // VGA_<stem> / QVGA_<stem> with a greyed third face
    Recording,  // VGA_<stem> / QVGA_<stem>, no third face
    Joystick,   // <layout prefix>_<stem>
    TwoState,   // state 0 stem, state 1 stem
};

enum class Place { Channel, Function, Transport, Joystick };

struct KeyRow {
    std::uint16_t controlId;
    std::uint16_t kind;
    Face face;
    Place place;
    const char* stem;
    const char* second;  // hover suffix of Plain; state-1 stem of TwoState
};

constexpr std::uint16_t kTwoState = ui::kVtxListByProgram;

// clang-format off
constexpr KeyRow kKeyRows[kRemoteKeyCount] = {
    {8250, 2, Face::Plain, Place::Channel, "ch1", "_a"},
    {8251, 2, Face::Plain, Place::Channel, "ch2", "_a"},
    {8252, 2, Face::Plain, Place::Channel, "ch3", "_a"},
    {8253, 2, Face::Plain, Place::Channel, "ch4", "_a"},
    {8254, 2, Face::Plain, Place::Channel, "ch5", "_a"},
    {8255, 2, Face::Plain, Place::Channel, "ch6", "_a"},
    {8256, 2, Face::Plain, Place::Channel, "ch7", "_a"},
    {8257, 2, Face::Plain, Place::Channel, "ch8", "_a"},
    {8258, 2, Face::Plain, Place::Channel, "ch9", "_a"},
    {8259, 2, Face::Plain, Place::Channel, "ch10", "_a"},
    {8260, 2, Face::Plain, Place::Channel, "ch11", "_a"},
    {8261, 2, Face::Plain, Place::Channel, "ch12", "_a"},
    {8262, 2, Face::Plain, Place::Channel, "ch13", "_a"},
    {8263, 2, Face::Plain, Place::Channel, "ch14", "_a"},
    {8264, 2, Face::Plain, Place::Channel, "ch15", "_a"},
    {8265, 2, Face::Plain, Place::Channel, "ch16", "_a"},
    {8322, 2, Face::Plain, Place::Function, "Second_Col_UpPip", "_over"},
    {8321, 2, Face::Plain, Place::Function, "Second_Col_UpQuad", "_over"},
    {8271, 2, Face::Plain, Place::Function, "Second_Col_4Cut", "_over"},
    {8272, 2, Face::Plain, Place::Function, "Second_Col_9Cut", "_over"},
    {8273, 2, Face::Plain, Place::Function, "Second_Col_16Cut", "_over"},
    {8280, 2, Face::Plain, Place::Function, "Second_Col_Pip", "_over"},
    {8281, 2, Face::Plain, Place::Function, "Second_Col_Pop", "_over"},
    {8282, 2, Face::Plain, Place::Function, "Second_Col_48206", "_over"},
    {8283, 2, Face::Plain, Place::Function, "Second_Col_Auto", "_over"},
    {8284, 2, Face::Plain, Place::Function, "Second_Col_Esc", "_over"},
    {8285, 2, Face::Plain, Place::Function, "Second_Col_Vcr", "_over"},
    {8286, 2, Face::Plain, Place::Function, "Second_Col_Live", "_over"},
    {8287, 2, Face::Plain, Place::Function, "Second_Col_Quad", "_over"},
    {8288, 2, Face::Plain, Place::Function, "Second_Col_Freeze", "_over"},
    {8291, 2, Face::Plain, Place::Function, "2Col_zoom_in", "_a"},
    {8292, 2, Face::Plain, Place::Function, "2Col_zoom_out", "_a"},
    {8289, 2, Face::Plain, Place::Function, "2Col_focus_in", "_a"},
    {8290, 2, Face::Plain, Place::Function, "2Col_focus_out", "_a"},
    {8313, 2, Face::Plain, Place::Function, "Second_Col_Plus", "_over"},
    {8314, 2, Face::Plain, Place::Function, "Second_Col_Minus", "_over"},
    {8323, 2, Face::Plain, Place::Function, "Second_Col_RemoteRec", "_over"},
    {8324, 2, Face::Plain, Place::Function, "Second_Col_Reboot", "_over"},
    {8325, 2, Face::Plain, Place::Function, "Second_Col_Escape", "_over"},
    {8326, 2, Face::Plain, Place::Function, "Second_Col_Enter", "_over"},
    {8327, 2, Face::Recording, Place::Transport, "stop_recording", nullptr},
    {8328, 2, Face::Recording, Place::Transport, "stop_recording", nullptr},
    {8220, 2, Face::Transport, Place::Transport, "zoom", nullptr},
    {8222, 2, Face::Transport, Place::Transport, "select", nullptr},
    {8223, 2, Face::Transport, Place::Transport, "lock", nullptr},
    {8224, 2, Face::Transport, Place::Transport, "search", nullptr},
    {8225, 2, Face::Plain, Place::Function, "2Col_enter", "_a"},
    {8226, 2, Face::Transport, Place::Transport, "stop", nullptr},
    {8227, 2, Face::Recording, Place::Transport, "stop_recording", nullptr},
    {8228, 2, Face::Transport, Place::Transport, "rew", nullptr},
    {8229, 2, Face::Transport, Place::Transport, "fast", nullptr},
    {8230, 2, Face::Transport, Place::Transport, "pause", nullptr},
    {8231, 2, Face::Transport, Place::Transport, "slow", nullptr},
    {8232, 2, Face::Transport, Place::Transport, "play", nullptr},
    {8240, 2, Face::Joystick, Place::Joystick, "LEFT", nullptr},
    {8241, 2, Face::Joystick, Place::Joystick, "UP", nullptr},
    {8242, 2, Face::Joystick, Place::Joystick, "MENU", nullptr},
    {8243, 2, Face::Joystick, Place::Joystick, "DOWN", nullptr},
    {8244, 2, Face::Joystick, Place::Joystick, "RIGHT", nullptr},
    {8310, kTwoState, Face::TwoState, Place::Function, "tubro_close", "tubro"},
    {8312, kTwoState, Face::TwoState, Place::Function, "ptz_off", "ptz_on"},
    {8331, kTwoState, Face::TwoState, Place::Function, "alarm_enable_close", "alarm_enable"},
    {8350, 2, Face::Plain, Place::Function, "2Col_zoom_max_in", "_a"},
    {8351, 2, Face::Plain, Place::Function, "2Col_zoom_max_out", "_a"},
    {8353, 2, Face::Plain, Place::Function, "Second_Col_DigitalZoom", "_over"},
    {8354, 2, Face::Plain, Place::Function, "Second_Col_Set", "_over"},
    {8355, 2, Face::Plain, Place::Function, "Second_Col_Sequence", "_over"},
};
// clang-format on

constexpr const char* kLayoutPrefixes[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};

// Slots of the key panel in the NTSC windows (group 0 VGA, group 1 QVGA); the keys of a device
// type fill the slots of their family in key order.
struct SlotGrid {
    std::int32_t left;
    std::int32_t top;
    std::int32_t stepX;
    std::int32_t stepY;
    int columns;
    int rows;
};
struct PanelSlots {
    SlotGrid channel;
    SlotGrid function;
    SlotGrid transport;
    // Top-left corners of LEFT, UP, MENU, DOWN, RIGHT.
    std::array<std::array<std::int32_t, 2>, 5> joystick;
};
constexpr PanelSlots kPanelSlots[2] = {
    {{8, 568, 21, 22, 8, 2},
     {390, 568, 44, 21, 4, 4},
     {8, 614, 44, 23, 7, 2},
     {{{580, 600}, {601, 577}, {601, 600}, {601, 623}, {622, 600}}}},
    {{9, 328, 19, 20, 8, 2},
     {203, 328, 123, 20, 2, 6},
     {8, 372, 32, 19, 5, 3},
     {{{262, 379}, {283, 356}, {283, 379}, {283, 402}, {304, 379}}}},
};
// PAL windows are taller by these many pixels above the key panel.
constexpr std::int32_t kPalShift[2] = {96, 48};

struct KeyRange {
    std::uint8_t first;
    std::uint8_t last;
};
struct FlagGroup {
    std::uint16_t flags;
    std::vector<KeyRange> keys;
};
struct TypeRow {
    const char* name;
    std::uint32_t flags;
    std::vector<FlagGroup> groups;
};

// Which keys each device type has, and their flags.
const std::vector<TypeRow>& TypeRows() {
    // clang-format off
    static const std::vector<TypeRow> rows = {
        {"CAMERA", 3, {}},
        {"1CH DVR", 1, {{0x7, {{45, 58}}}, {0x10B, {{59, 59}}}}},
        {"4CH DVR (FULL)", 1, {{0x3, {{0, 3}, {34, 35}}}, {0x7, {{42, 42}, {44, 58}}},
                               {0x10B, {{59, 59}}}}},
        {"4CH DVR (BASIC)", 1, {{0x3, {{0, 3}, {22, 22}, {34, 35}}}, {0x7, {{44, 58}}},
                                {0x10B, {{59, 59}}}}},
        {"4CH DMR", 1, {{0x3, {{0, 3}, {18, 18}, {21, 21}}}, {0x7, {{42, 42}, {44, 58}}},
                        {0x10B, {{59, 59}}}}},
        {"9CH DMR", 1, {{0x3, {{0, 8}, {18, 19}, {21, 21}}}, {0x7, {{42, 44}, {46, 58}}},
                        {0x10B, {{59, 59}}}}},
        {"16CH DMR", 1, {{0x3, {{0, 15}, {18, 21}}}, {0x7, {{42, 44}, {46, 58}}},
                         {0x10B, {{59, 59}}}}},
        {"4CH DQR", 1, {{0x3, {{0, 3}, {24, 24}, {28, 28}}}, {0x7, {{44, 58}}},
                        {0x10B, {{59, 59}}}}},
        {"PTZ", 1, {{0x3, {{0, 15}, {24, 24}, {30, 33}, {46, 46}, {62, 63}}},
                    {0x7, {{54, 58}}}, {0x10B, {{59, 59}}}}},
        {"4CH MEPG2 DVR", 1, {{0x3, {{0, 3}, {34, 35}}},
                              {0x7, {{39, 39}, {41, 42}, {44, 45}, {47, 47}, {49, 58}}},
                              {0x10B, {{59, 59}}}}},
        {"4CH NETWORK DVR", 0, {{0x3, {{0, 3}, {34, 35}}}, {0x7, {{42, 42}, {44, 58}}},
                                {0x10B, {{59, 59}}}}},
        {"PTZ SLAVE", 0, {{0x3, {{0, 15}, {24, 24}, {30, 33}, {62, 63}}},
                          {0x7, {{46, 46}, {54, 58}}}, {0x10B, {{59, 60}}}}},
        {"4CH NETWORK DVR (BASIC)", 0, {{0x3, {{0, 3}, {21, 22}, {28, 28}}}, {0x7, {{44, 58}}},
                                        {0x10B, {{59, 59}}}}},
        {"9CH NETWORK DMR", 0, {{0x3, {{0, 8}, {18, 19}, {21, 21}}},
                                {0x7, {{42, 44}, {46, 58}}}, {0x10B, {{59, 59}}}}},
        {"16CH NETWORK DMR", 0, {{0x3, {{0, 15}, {18, 20}, {34, 35}}},
                                 {0x7, {{45, 60}, {64, 66}}}}},
        {"4CH NETWORK MEPG2 DVR", 1, {{0x3, {{0, 3}, {34, 35}}},
                                      {0x7, {{39, 39}, {41, 42}, {45, 45}, {47, 47}, {49, 58}}},
                                      {0x47, {{44, 44}}}, {0x23, {{61, 61}}},
                                      {0x103, {{60, 60}}}, {0x10B, {{59, 59}}}}},
        {"Zk63", 1, {{0x3, {{0, 3}, {34, 35}}},
                     {0x7, {{39, 39}, {41, 42}, {45, 45}, {47, 47}, {49, 58}}},
                     {0x47, {{44, 44}}}, {0x103, {{60, 60}}}, {0x10B, {{59, 59}}}}},
        {"PTZ SLAVE BASIC", 0, {{0x3, {{0, 15}, {24, 24}, {30, 33}, {62, 63}}},
                                {0x7, {{46, 46}, {54, 58}, {64, 64}}}, {0x10B, {{59, 60}}}}},
        {"PTZ PELCO", 0, {{0x3, {{0, 15}, {24, 24}, {30, 33}, {62, 63}}},
                          {0x7, {{46, 46}, {54, 58}}}, {0x10B, {{59, 60}}}}},
        {"KLM 300 DVR", 0, {{0x3, {{0, 15}, {18, 20}, {34, 35}}},
                            {0x7, {{45, 61}, {64, 66}}}}},
    };
    // clang-format on
    return rows;
}

bool IsPtzType(int type) {
    return type == 8 || type == 11 || type == 17 || type == 18;
}

std::string Bmp(const std::string& stem) {
    return "BMP\\" + stem + ".bmp";
}

std::array<std::string_view, 12> KeyBitmaps(const KeyRow& row, int type, int key) {
    std::array<std::string_view, 12> names{};
    const auto setGroup = [&](int g, const std::string& a, const std::string& b,
                              const std::string& c) {
        names[3 * g] = SkinName(a);
        names[3 * g + 1] = SkinName(b);
        if (!c.empty()) {
            names[3 * g + 2] = SkinName(c);
        }
    };
    const std::string stem = row.stem;
    for (int g = 0; g < 4; ++g) {
        const bool vga = g % 2 == 0;
        switch (row.face) {
            case Face::Plain:
                if (key == 39 && (type == 9 || type == 15 || type == 16)) {
                    setGroup(g, Bmp("control_panel_enter"), Bmp("control_panel_enter_down"),
                             Bmp("control_panel_enter"));
                } else {
                    setGroup(g, Bmp(stem), Bmp(stem + row.second), Bmp(stem));
                }
                break;
            case Face::Transport: {
                // Type 0 carries no greyed faces for the first four of these keys.
                const bool third = !(type == 0 && key >= 42 && key <= 45);
                if (vga) {
                    setGroup(g, Bmp("VGA_" + stem), Bmp("VGA_" + stem + "_over"),
                             third ? Bmp(stem + "_n_vga") : "");
                } else {
                    setGroup(g, Bmp("QVGA_" + stem), Bmp("QVGA_" + stem + "_a"),
                             third ? Bmp(stem + "_n_qvga") : "");
                }
                break;
            }
            case Face::Recording: {
                const std::string prefix = vga ? "VGA_" : "QVGA_";
                setGroup(g, Bmp(prefix + stem), Bmp(prefix + stem + "_over"), "");
                break;
            }
            case Face::Joystick: {
                const std::string name = std::string(kLayoutPrefixes[g]) + "_" + stem;
                setGroup(g, Bmp(name), Bmp(name + "_OVER"), Bmp(name));
                break;
            }
            case Face::TwoState:
                break;
        }
    }
    if (row.face == Face::TwoState) {
        const std::string on = row.second;
        for (int base : {0, 6}) {
            names[base] = SkinName(Bmp(stem));
            names[base + 1] = SkinName(Bmp(stem + "_over"));
            names[base + 2] = SkinName(Bmp(on));
            names[base + 3] = SkinName(Bmp(on + "_over"));
        }
    }
    return names;
}

std::array<std::uint16_t, kRemoteKeyCount> KeyFlags(const TypeRow& type) {
    std::array<std::uint16_t, kRemoteKeyCount> flags{};
    for (const FlagGroup& group : type.groups) {
        for (const KeyRange& range : group.keys) {
            for (int k = range.first; k <= range.last; ++k) {
                flags[k] = group.flags;
            }
        }
    }
    return flags;
}

SkinRect SlotRect(const SlotGrid& grid, int slot, std::string_view image) {
    slot %= grid.columns * grid.rows;
    const ui::SkinFile& file = *ui::FindSkinFile(image);
    const std::int32_t left = grid.left + grid.stepX * (slot % grid.columns);
    const std::int32_t top = grid.top + grid.stepY * (slot / grid.columns);
    return {left, top, left + file.width, top + file.height};
}

// Places the keys of one device type: a key the type has takes the next free slot of its family,
// one it lacks the slot of its own place in the family (it is never shown).
void PlaceKeys(DeviceTypeSkin& skin) {
    int used[4] = {};
    int ordinal[4] = {};
    for (int k = 0; k < static_cast<int>(kRemoteKeyCount); ++k) {
        SkinKeyRecord& key = skin.keys[k];
        const Place place = kKeyRows[k].place;
        const int family = static_cast<int>(place);
        const int slot = key.flags != 0 ? used[family]++ : ordinal[family];
        ++ordinal[family];
        for (int mode = 0; mode < 4; ++mode) {
            const int ntsc = mode % 2;
            const PanelSlots& panel = kPanelSlots[ntsc];
            const std::string_view image = key.bitmap[3 * mode];
            SkinRect r;
            switch (place) {
                case Place::Channel:
                    r = SlotRect(panel.channel, slot, image);
                    break;
                case Place::Function:
                    r = SlotRect(panel.function, slot, image);
                    break;
                case Place::Transport:
                    r = SlotRect(panel.transport, slot, image);
                    break;
                case Place::Joystick: {
                    const auto [x, y] = panel.joystick[k - 54];
                    const ui::SkinFile& file = *ui::FindSkinFile(image);
                    r = {x, y, x + file.width, y + file.height};
                    break;
                }
            }
            if (mode >= 2) {
                r.top += kPalShift[ntsc];
                r.bottom += kPalShift[ntsc];
            }
            key.rect[mode] = r;
        }
    }
}

const std::array<DeviceTypeSkin, kDeviceTypeCount>& BuildSkinTable() {
    static const std::array<DeviceTypeSkin, kDeviceTypeCount> table = [] {
        std::array<DeviceTypeSkin, kDeviceTypeCount> t{};
        for (int type = 0; type < static_cast<int>(kDeviceTypeCount); ++type) {
            const TypeRow& typeRow = TypeRows()[type];
            const auto flags = KeyFlags(typeRow);
            DeviceTypeSkin& skin = t[type];
            for (int k = 0; k < static_cast<int>(kRemoteKeyCount); ++k) {
                const KeyRow& row = kKeyRows[k];
                SkinKeyRecord& key = skin.keys[k];
                key.flags = flags[k];
                key.tipId = IsPtzType(type) && k < 16 ? 8333 + k : row.controlId;
                key.bitmap = KeyBitmaps(row, type, k);
                key.kind = row.kind;
                key.controlId = row.controlId;
                key.keyIndex = static_cast<std::uint16_t>(k);
            }
            PlaceKeys(skin);
            skin.trailer = {typeRow.name, typeRow.flags, static_cast<std::uint32_t>(type)};
        }
        return t;
    }();
    return table;
}

SkinRect SameInEveryMode(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
    return {l, t, r, b};
}

}  // namespace

const std::array<DeviceTypeSkin, kDeviceTypeCount>& DeviceTypeSkinTable() {
    return BuildSkinTable();
}

const std::array<ChannelStripRow, kChannelStripCount>& ChannelStripTable() {
    static const std::array<ChannelStripRow, kChannelStripCount> table = [] {
        std::array<ChannelStripRow, kChannelStripCount> t{};
        for (int row = 0; row < kChannelStripCount; ++row) {
            SkinRect r;
            std::array<std::string, 4> names;
            if (row <= 16) {
                const std::string n = row == 0 ? "dvr" : std::to_string(row);
                names = {Bmp("Channel_" + n + "_Enable"), Bmp("Channel_" + n + "_Enable_over"),
                         Bmp("Channel_" + n + "_Disable"), Bmp("Channel_" + n + "_Disable_over")};
                if (row == 0) {
                    r = SameInEveryMode(20, 32, 55, 60);
                } else if (row == 8) {
                    r = SameInEveryMode(55, 32, 90, 60);
                } else if (row == 16) {
                    r = SameInEveryMode(300, 32, 335, 60);
                } else {
                    const int left = 90 + 35 * ((row - 1) % 8);
                    r = SameInEveryMode(left, 32, left + 35, 60);
                }
            } else {
                const std::string side = row == 17 ? "Left" : "Right";
                names = {Bmp("Channel_" + side), Bmp("Channel_" + side),
                         Bmp("Channel_" + side + "_Down"), ""};
                r = row == 17 ? SameInEveryMode(8, 37, 17, 53) : SameInEveryMode(22, 37, 31, 53);
            }
            ChannelStripRow& out = t[row];
            out.rect = {r, r, r, r};
            out.controlId = static_cast<std::uint16_t>(8410 + row);
            out.tipId = out.controlId;
            for (int i = 0; i < 4; ++i) {
                out.bitmap[i] = names[i].empty() ? std::string_view() : SkinName(names[i]);
            }
            out.index = static_cast<std::uint16_t>(row);
        }
        return t;
    }();
    return table;
}

const std::array<CommandButtonRow, kCommandButtonCount>& CommandButtonTable() {
    struct Row {
        std::uint16_t controlId;
        std::uint16_t style;
        std::vector<std::string> images;
        std::vector<std::string> disabled;
    };
    static const std::array<CommandButtonRow, kCommandButtonCount> table = [] {
        // clang-format off
        const Row rows[kCommandButtonCount] = {
            {1002, ui::kVtxListByProgram,
             {"link", "link_over", "link_off", "link_off_over"},
             {"link_n", "link_n", "link_off_n", "link_off_n"}},
            {1007, ui::kVtxListByClick,
             {"qvga", "qvga_over", "vga", "vga_over"},
             {"qvga_n", "qvga_n", "vga_n", "vga_n"}},
            {1008, ui::kVtxListByClick,
             {"high", "mid_over", "mid", "low_over", "low", "high_over"},
             {"high_n", "high_n", "mid_n", "mid_n", "low_n", "low_n"}},
            {1004, ui::kVtxPushHover,
             {"snapshoot", "snapshoot_over", "snapshoot_down"},
             {"snapshoot_n", "snapshoot_n", "snapshoot_n"}},
            {1005, ui::kVtxListByProgram,
             {"Record_Button", "Record_Button_over", "Recording_Button", "Recording_Button_over"},
             {"Record_Button_n", "Record_Button_n", "Record_Button_n", "Record_Button_n"}},
            {1006, ui::kVtxHover,
             {"system_setting", "system_setting_over", "system_setting_over"},
             {"system_setting_n", "system_setting_n", "system_setting_n"}},
        };
        // clang-format on
        const SkinRect vga{558, 34, 584, 60};
        const SkinRect qvga{206, 35, 232, 61};
        std::array<CommandButtonRow, kCommandButtonCount> t{};
        for (int i = 0; i < kCommandButtonCount; ++i) {
            CommandButtonRow& out = t[i];
            out.rect = {vga, qvga, vga, qvga};
            out.controlId = rows[i].controlId;
            out.tipId = rows[i].controlId;
            out.style = rows[i].style;
            out.index = static_cast<std::uint16_t>(i);
            for (std::size_t n = 0; n < rows[i].images.size(); ++n) {
                out.images[n] = SkinName(Bmp(rows[i].images[n]));
                out.disabledImages[n] = SkinName(Bmp(rows[i].disabled[n]));
            }
        }
        return t;
    }();
    return table;
}
