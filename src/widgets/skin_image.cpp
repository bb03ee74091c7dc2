#include "widgets/skin_image.h"

#include <QString>

#include "platform/paths.h"

namespace ui {

QImage LoadSkinImage(std::string_view name) {
    if (name.empty()) {
        return {};
    }
    const auto path = platform::ResolvePath(platform::ProgramFolder(), name);
    QImage image(QString::fromStdString(path.string()), "BMP");
    if (image.isNull()) {
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage SkinImageCache::Load(std::string_view name) {
    if (const auto found = m_images.find(name); found != m_images.end()) {
        return found->second;
    }
    return m_images.emplace(std::string(name), LoadSkinImage(name)).first->second;
}

}  // namespace ui
