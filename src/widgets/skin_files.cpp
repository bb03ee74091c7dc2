#include "widgets/skin_files.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace ui {
namespace {

using enum SkinArt;
using enum SkinState;

struct Size {
    std::uint16_t width;
    std::uint16_t height;
};

// Sizes of the rectangles the images fill. The remote keys come in four families; every key of a
// family has the same size, so one image serves each key wherever its device type places it.
constexpr Size kChannelKey{18, 18};
constexpr Size kFunctionKey{40, 18};
constexpr Size kTransportVga{40, 20};
constexpr Size kTransportQvga{30, 16};
constexpr Size kJoystickKey{21, 23};
constexpr Size kCommandButton{26, 26};
constexpr Size kTitleButton{13, 13};
constexpr Size kPanelToggle{32, 32};
constexpr Size kStatusIcon{13, 16};

// The four layout families of the main window and their window sizes (panel closed, open).
struct Family {
    const char* prefix;
    Size closed;
    Size open;
};
constexpr Family kFamilies[] = {
    {"N_VGA", {722, 608}, {722, 680}},
    {"N_QVGA", {370, 366}, {370, 461}},
    {"P_VGA", {722, 705}, {722, 776}},
    {"P_QVGA", {370, 414}, {370, 509}},
};

struct TextKey {
    const char* name;  // the part after "Second_Col_"
    const char* label;
};
constexpr TextKey kSecondColumnKeys[] = {
    {"UpPip", "PIP"},          {"UpQuad", "QUAD"},   {"4Cut", "4 CUT"},   {"9Cut", "9 CUT"},
    {"16Cut", "16 CUT"},       {"Pip", "PIP"},       {"Pop", "POP"},      {"48206", "MULTI"},
    {"Auto", "AUTO"},          {"Esc", "ESC"},       {"Vcr", "VCR"},      {"Live", "LIVE"},
    {"Quad", "QUAD"},          {"Freeze", "FREEZE"}, {"Plus", "+"},       {"Minus", "\u2212"},
    {"RemoteRec", "REC"},      {"Reboot", "REBOOT"}, {"Escape", "EXIT"},  {"Enter", "ENTER"},
    {"DigitalZoom", "D-ZOOM"}, {"Set", "SET"},       {"Sequence", "SEQ"},
};

// The keys of the player family: VGA and QVGA faces, and a greyed third face of each.
struct GlyphKey {
    const char* name;
    const char* glyph;
};
constexpr GlyphKey kTransportKeys[] = {
    {"zoom", "zoom"}, {"select", "select"}, {"lock", "lock"}, {"search", "search"},
    {"stop", "stop"}, {"rew", "rew"},       {"fast", "ff"},   {"pause", "pause"},
    {"slow", "slow"}, {"play", "play"},
};

constexpr GlyphKey kTwoColumnKeys[] = {
    {"zoom_in", "zoom_in"},     {"zoom_out", "zoom_out"},    {"focus_in", "focus_in"},
    {"focus_out", "focus_out"}, {"zoom_max_in", "zoom_max"}, {"zoom_max_out", "zoom_min"},
    {"enter", "enter"},
};

constexpr const char* kDirections[] = {"LEFT", "UP", "MENU", "DOWN", "RIGHT"};

// Two-state keys: file stems of state 0 and state 1, and the glyph.
struct StateKey {
    const char* off;
    const char* on;
    const char* glyph;
};
constexpr StateKey kStateKeys[] = {
    {"tubro_close", "tubro", "turbo"},
    {"ptz_off", "ptz_on", "ptz"},
    {"alarm_enable_close", "alarm_enable", "retr"},
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class Builder {
public:
    void Add(std::string name, Size size, SkinArt art, SkinState state, std::string label) {
        m_files.push_back({std::move(name), size.width, size.height, art, state, std::move(label)});
    }
    // "<stem>.bmp" and "<stem><hoverSuffix>.bmp".
    void AddPair(const std::string& stem, const std::string& hoverSuffix, Size size, SkinArt art,
                 const std::string& label) {
        Add(stem + ".bmp", size, art, Normal, label);
        Add(stem + hoverSuffix + ".bmp", size, art, Hover, label);
    }

    std::vector<SkinFile> Take() { return std::move(m_files); }

private:
    std::vector<SkinFile> m_files;
};

void AddMainWindow(Builder& b) {
    for (const Family& f : kFamilies) {
        const std::string stem = std::string("BMP\\") + f.prefix;
        b.Add(stem + "_BG.bmp", f.closed, WindowBackground, Normal, f.prefix);
        b.Add(stem + "_BG_EX.bmp", f.open, WindowBackground, Active, f.prefix);
    }
    b.Add("BMP\\StatusBar.bmp", {356, 20}, StatusBar, Normal, "");
    b.Add("BMP\\VGA_Status_Bar.bmp", {708, 20}, StatusBar, Normal, "");
    b.Add("BMP\\Online_User_ICON.bmp", kStatusIcon, StatusIcon, Normal, "user");
    b.Add("BMP\\alarm.bmp", kStatusIcon, StatusIcon, Normal, "alarm");

    for (const auto& [stem, glyph] :
         {std::pair{"Hide", "min"}, std::pair{"Fullscreen", "full"}, std::pair{"Close", "close"}}) {
        b.AddPair(std::string("BMP\\Title_Bar_") + stem, "_a", kTitleButton, TitleButton, glyph);
    }

    // The channel strip: the DVR tab is widened by 5 pixels on each side when it is placed.
    for (int ch = 0; ch <= 16; ++ch) {
        const std::string n = ch == 0 ? "dvr" : std::to_string(ch);
        const std::string label = ch == 0 ? "DVR" : n;
        const Size size = ch == 0 ? Size{45, 28} : Size{35, 28};
        const std::string stem = "BMP\\Channel_" + n;
        b.Add(stem + "_Enable.bmp", size, ChannelTab, Active, label);
        b.Add(stem + "_Enable_over.bmp", size, ChannelTab, ActiveHover, label);
        b.Add(stem + "_Disable.bmp", size, ChannelTab, Normal, label);
        b.Add(stem + "_Disable_over.bmp", size, ChannelTab, Hover, label);
    }
    for (const char* side : {"Left", "Right"}) {
        const std::string stem = std::string("BMP\\Channel_") + side;
        b.Add(stem + ".bmp", {9, 16}, StripArrow, Normal, Lower(side));
        b.Add(stem + "_Down.bmp", {9, 16}, StripArrow, Pressed, Lower(side));
    }

    // Command buttons and the power key.
    struct Command {
        const char* file;
        SkinState state;
        const char* glyph;
    };
    constexpr Command kCommands[] = {
        {"link", Normal, "link"},
        {"link_over", Hover, "link"},
        {"link_off", Active, "link_off"},
        {"link_off_over", ActiveHover, "link_off"},
        {"link_n", Disabled, "link"},
        {"link_off_n", Disabled, "link_off"},
        {"qvga", Normal, "qvga"},
        {"qvga_over", Hover, "qvga"},
        {"vga", Normal, "vga"},
        {"vga_over", Hover, "vga"},
        {"qvga_n", Disabled, "qvga"},
        {"vga_n", Disabled, "vga"},
        {"high", Normal, "high"},
        {"high_over", Hover, "high"},
        {"mid", Normal, "mid"},
        {"mid_over", Hover, "mid"},
        {"low", Normal, "low"},
        {"low_over", Hover, "low"},
        {"high_n", Disabled, "high"},
        {"mid_n", Disabled, "mid"},
        {"low_n", Disabled, "low"},
        {"snapshoot", Normal, "camera"},
        {"snapshoot_over", Hover, "camera"},
        {"snapshoot_down", Pressed, "camera"},
        {"snapshoot_n", Disabled, "camera"},
        {"Record_Button", Normal, "record"},
        {"Record_Button_over", Hover, "record"},
        {"Recording_Button", Active, "record"},
        {"Recording_Button_over", ActiveHover, "record"},
        {"Record_Button_n", Disabled, "record"},
        {"system_setting", Normal, "gear"},
        {"system_setting_over", Hover, "gear"},
        {"system_setting_n", Disabled, "gear"},
        {"power", Normal, "power"},
        {"power_over", Hover, "power"},
        {"power_down", Pressed, "power"},
    };
    for (const Command& c : kCommands) {
        b.Add(std::string("BMP\\") + c.file + ".bmp", kCommandButton, CommandButton, c.state,
              c.glyph);
    }

    for (const Family& f : kFamilies) {
        for (const auto& [dir, glyph] : {std::pair{"UP", "up"}, std::pair{"DOWN", "down"}}) {
            b.AddPair(std::string("BMP\\") + f.prefix + "_PANEL" + dir, "_OVER", kPanelToggle,
                      PanelToggle, glyph);
        }
    }
}

void AddRemoteKeys(Builder& b) {
    for (int ch = 1; ch <= 16; ++ch) {
        b.AddPair("BMP\\ch" + std::to_string(ch), "_a", kChannelKey, KeyText, std::to_string(ch));
    }
    for (const TextKey& k : kSecondColumnKeys) {
        b.AddPair(std::string("BMP\\Second_Col_") + k.name, "_over", kFunctionKey, KeyText,
                  k.label);
    }
    b.Add("BMP\\control_panel_enter.bmp", kFunctionKey, KeyText, Normal, "ENTER");
    b.Add("BMP\\control_panel_enter_down.bmp", kFunctionKey, KeyText, Pressed, "ENTER");
    for (const GlyphKey& k : kTwoColumnKeys) {
        b.AddPair(std::string("BMP\\2Col_") + k.name, "_a", kFunctionKey, KeyGlyph, k.glyph);
    }
    for (const char* name : {"zoom", "focus"}) {
        for (const char* way : {"in", "out"}) {
            b.AddPair(std::string("BMP\\2Col_") + name + "_turbo_" + way, "_a", kFunctionKey,
                      KeyGlyph, std::string("turbo:") + name + "_" + way);
        }
    }

    for (const GlyphKey& k : kTransportKeys) {
        const std::string name = k.name;
        b.AddPair("BMP\\VGA_" + name, "_over", kTransportVga, KeyGlyph, k.glyph);
        b.Add("BMP\\" + name + "_n_vga.bmp", kTransportVga, KeyGlyph, Disabled, k.glyph);
        b.AddPair("BMP\\QVGA_" + name, "_a", kTransportQvga, KeyGlyph, k.glyph);
        b.Add("BMP\\" + name + "_n_qvga.bmp", kTransportQvga, KeyGlyph, Disabled, k.glyph);
    }
    b.AddPair("BMP\\VGA_stop_recording", "_over", kTransportVga, KeyGlyph, "rec");
    b.AddPair("BMP\\QVGA_stop_recording", "_over", kTransportQvga, KeyGlyph, "rec");

    for (const Family& f : kFamilies) {
        for (const char* dir : kDirections) {
            const std::string stem = std::string("BMP\\") + f.prefix + "_" + dir;
            b.AddPair(stem, "_OVER", kJoystickKey, KeyGlyph, Lower(dir));
            if (std::string_view(dir) != "MENU") {
                b.AddPair(stem + "_TURBO", "_OVER", kJoystickKey, KeyGlyph, "turbo:" + Lower(dir));
            }
        }
    }

    for (const StateKey& k : kStateKeys) {
        const std::string off = std::string("BMP\\") + k.off;
        const std::string on = std::string("BMP\\") + k.on;
        b.Add(off + ".bmp", kFunctionKey, KeyGlyph, Normal, k.glyph);
        b.Add(off + "_over.bmp", kFunctionKey, KeyGlyph, Hover, k.glyph);
        b.Add(on + ".bmp", kFunctionKey, KeyGlyph, Active, k.glyph);
        b.Add(on + "_over.bmp", kFunctionKey, KeyGlyph, ActiveHover, k.glyph);
    }
}

// The picture-adjust dialog (304 x 236) and the about window.
void AddDialogs(Builder& b) {
    for (const char* name : {"Brightness", "Contrast", "Hue", "Saturation"}) {
        b.Add(std::string("BMP\\Dialog_") + name + ".bmp", {20, 20}, DialogButton, Normal,
              Lower(name));
    }
    b.Add("BMP\\TitleLeft.bmp", {10, 32}, DialogFrame, Normal, "title");
    b.Add("BMP\\TilteBar_ess.bmp", {284, 32}, DialogFrame, Normal, "title");
    b.Add("BMP\\TitleRight.bmp", {10, 32}, DialogFrame, Normal, "title");
    b.Add("BMP\\LeftSide_ess.bmp", {10, 191}, DialogFrame, Normal, "side");
    b.Add("BMP\\RightSide_ess.bmp", {10, 191}, DialogFrame, Normal, "side");
    b.Add("BMP\\BottomLeft.bmp", {10, 13}, DialogFrame, Normal, "bottom");
    b.Add("BMP\\Bottom_ess.bmp", {284, 13}, DialogFrame, Normal, "bottom");
    b.Add("BMP\\BottomRight.bmp", {10, 13}, DialogFrame, Normal, "bottom");
    b.Add("BMP\\Player_Logo.bmp", {21, 15}, DialogFrame, Normal, "logo");
    b.AddPair("BMP\\Dialog_apply", "_over", {88, 25}, DialogButton, "APPLY");
    b.AddPair("BMP\\Dialog_ok", "_over", {44, 25}, DialogButton, "OK");
    b.AddPair("BMP\\Dialog_default", "_over", {88, 25}, DialogButton, "DEFAULT");

    b.Add("BMP\\login_background.bmp", {304, 238}, AboutBackground, Normal, "");
    b.Add("BMP\\ORVANE_LOGO.bmp", {71, 74}, Logo, Normal, "");
    b.AddPair("BMP\\login_ok", "_over", {49, 25}, DialogButton, "OK");
}

// The login window (304 x 341) and its buttons.
void AddLogin(Builder& b) {
    struct Piece {
        const char* name;
        Size size;
    };
    constexpr Piece kPieces[] = {
        {"spacer", {304, 341}},      {"left_top", {21, 34}},     {"right_top", {26, 34}},
        {"top_middle1", {257, 12}},  {"top_middle2", {257, 22}}, {"left_middle", {21, 285}},
        {"right_middle", {26, 285}}, {"left_down", {25, 22}},    {"right_down", {24, 22}},
        {"down_middle", {255, 22}},
    };
    for (const Piece& p : kPieces) {
        b.Add(std::string("BMP\\LOGIN\\") + p.name + ".bmp", p.size, LoginFrame, Normal, p.name);
    }
    b.Add("BMP\\LOGIN\\running.bmp", {16, 12}, LoginRunning, Normal, "");
    for (int d = 0; d <= 9; ++d) {
        b.Add("BMP\\LOGIN\\login_" + std::to_string(d) + ".bmp", {10, 20}, LoginDigit, Normal,
              std::to_string(d));
    }
    b.Add("BMP\\LOGIN\\login_point.bmp", {10, 20}, LoginDigit, Normal, ".");

    struct Button {
        const char* stem;
        const char* normalExtension;  // the upgrade button's normal face is spelled ".BMP"
        Size size;
    };
    constexpr Button kButtons[] = {
        {"address", ".bmp", {34, 34}},  {"search", ".bmp", {34, 34}}, {"player", ".bmp", {34, 34}},
        {"download", ".BMP", {34, 34}}, {"copy", ".bmp", {34, 34}},   {"enter", ".bmp", {32, 32}},
        {"cancel", ".bmp", {32, 32}},
    };
    for (const Button& k : kButtons) {
        const std::string stem = std::string("BMP\\LOGIN\\") + k.stem;
        b.Add(stem + k.normalExtension, k.size, LoginButton, Normal, k.stem);
        b.Add(stem + "_over.bmp", k.size, LoginButton, Hover, k.stem);
        b.Add(stem + "_down.bmp", k.size, LoginButton, Pressed, k.stem);
    }
    for (const char* label : {"name", "password", "ip", "port"}) {
        b.Add(std::string("BMP\\LOGIN\\") + label + ".BMP", {28, 28}, LoginLabel, Normal, label);
    }
}

std::vector<SkinFile> BuildSkinFiles() {
    Builder b;
    AddMainWindow(b);
    AddRemoteKeys(b);
    AddDialogs(b);
    AddLogin(b);
    return b.Take();
}

}  // namespace

const std::vector<SkinFile>& SkinFiles() {
    static const std::vector<SkinFile> files = BuildSkinFiles();
    return files;
}

const SkinFile* FindSkinFile(std::string_view name) {
    static const std::unordered_map<std::string_view, const SkinFile*> index = [] {
        std::unordered_map<std::string_view, const SkinFile*> map;
        for (const SkinFile& f : SkinFiles()) {
            map.emplace(f.name, &f);
        }
        return map;
    }();
    const auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

}  // namespace ui
