#pragma once

// Loading a skin bitmap. The one place where a skin name becomes a file: beside the executable,
// backslashes accepted, and a name in another case still finds its file.

#include <QImage>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ui {

// The bitmap of that name, or a null image when the file is missing or not a bitmap. Safe on any
// thread.
QImage LoadSkinImage(std::string_view name);

// The skin bitmaps of one window, each file read once however often it is asked for: the
// window's buttons share faces, its layouts share backgrounds, and its layout switches reload
// them. A file found missing stays missing for the window's life. For the window's thread.
class SkinImageCache {
public:
    QImage Load(std::string_view name);

private:
    std::map<std::string, QImage, std::less<>> m_images;
};

}  // namespace ui
