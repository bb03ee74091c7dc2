#include "widgets/skin_image.h"

#include "platform/file_gate.h"
#include "platform/paths.h"

namespace ui {

QImage LoadSkinImage(std::string_view name) {
    if (name.empty()) {
        return {};
    }
    // Far above any skin bitmap (a full-screen one is a few megabytes).
    constexpr std::size_t kMaxSkinFileBytes = 64 << 20;
    const platform::FileSnapshot read = platform::ReadFile(
        platform::ResolvePath(platform::ProgramFolder(), name), kMaxSkinFileBytes);
    if (read.state != platform::FileSnapshot::State::Read) {
        return {};
    }
    QImage image = QImage::fromData(reinterpret_cast<const uchar*>(read.bytes.data()),
                                    static_cast<int>(read.bytes.size()), "BMP");
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
