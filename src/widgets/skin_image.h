#pragma once

// Loading a skin bitmap. The one place where a skin name becomes a file: beside the executable,
// backslashes accepted, and a name in another case still finds its file.

#include <QImage>
#include <string_view>

namespace ui {

// The bitmap of that name, or a null image when the file is missing or not a bitmap. Safe on any
// thread.
QImage LoadSkinImage(std::string_view name);

}  // namespace ui
