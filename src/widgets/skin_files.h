#pragma once

// Every skin bitmap the program loads, once: the build's skin generator draws each file at its
// size, the windows load them by these names, and the program copy takes them along.
//
// Names are written the way the windows ask for them ("BMP\LOGIN\x.bmp"); platform::ResolvePath
// turns them into files beside the executable.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// What a file shows; the generator draws each kind in the same theme.
enum class SkinArt : std::uint8_t {
    WindowBackground,  // main window; label: layout prefix ("N_VGA"), panel open when state Active
    StatusBar,
    StatusIcon,     // label: "user" or "alarm"
    TitleButton,    // label: "min", "full", "close"
    ChannelTab,     // label: "DVR" or the channel number
    StripArrow,     // label: "left" or "right"
    CommandButton,  // label: a glyph name (see the generator)
    PanelToggle,    // label: "up" or "down"
    KeyText,        // remote key with a text face
    KeyGlyph,       // remote key with a symbol; "turbo:" before the glyph marks a turbo face
    DialogFrame,    // a piece of a small dialog's frame; label: "title", "side", "bottom", "logo"
    DialogButton,   // label: the button text or a glyph name for icon buttons
    LoginFrame,     // a piece of the login window; label: the piece name
    LoginDigit,     // label: "0".."9" or "."
    LoginRunning,   // the login progress marker
    LoginButton,    // label: a glyph name
    LoginLabel,     // label: a glyph name
    AboutBackground,
    Logo,
};

enum class SkinState : std::uint8_t {
    Normal,
    Hover,
    Pressed,
    Disabled,
    Active,       // the second state of a two-state button (on, recording, ...)
    ActiveHover,  // that state hovered
};

struct SkinFile {
    std::string name;  // as the windows name it, with backslashes
    std::uint16_t width;
    std::uint16_t height;
    SkinArt art;
    SkinState state;
    std::string label;
};

// The whole set, in a fixed order.
const std::vector<SkinFile>& SkinFiles();

// The entry of that name (exact spelling), or null.
const SkinFile* FindSkinFile(std::string_view name);

}  // namespace ui
