#include "video/snapshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kernel/text_helpers.h"
#include "platform/file_gate.h"
#include "platform/jpeg.h"

namespace {

constexpr std::uint32_t kBmpHeaderSize = 54;
constexpr std::uint32_t kBmpInfoSize = 40;
constexpr int kMaxSuffix = 1'000;

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

std::string SnapshotBaseName(const std::tm& local) {
    return FormatTwoDigits(local.tm_year + 1900) + FormatTwoDigits(local.tm_mon + 1) +
           FormatTwoDigits(local.tm_mday) + "T" + FormatTwoDigits(local.tm_hour) +
           FormatTwoDigits(local.tm_min) + FormatTwoDigits(local.tm_sec);
}

std::vector<std::uint8_t> BmpFileBytes(const std::uint8_t* picture, std::uint16_t width,
                                       std::uint16_t height) {
    const std::size_t row = std::size_t{width} * 3;
    const std::size_t paddedRow = (row + 3) & ~std::size_t{3};
    const std::size_t pixelBytes = paddedRow * height;
    std::vector<std::uint8_t> out;
    out.reserve(kBmpHeaderSize + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, static_cast<std::uint32_t>(kBmpHeaderSize + pixelBytes), 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, kBmpHeaderSize, 4);
    PutLittleEndian(out, kBmpInfoSize, 4);
    PutLittleEndian(out, width, 4);
    PutLittleEndian(out, height, 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, 24, 2);
    out.resize(kBmpHeaderSize, 0);  // no compression, sizes, resolutions and colours 0
    for (std::size_t y = 0; y < height; ++y) {
        out.insert(out.end(), picture + y * row, picture + (y + 1) * row);
        out.resize(out.size() + paddedRow - row, 0);
    }
    return out;
}

std::filesystem::path WriteNewFile(const std::filesystem::path& folder, const std::string& baseName,
                                   const std::string& extension,
                                   const std::vector<std::uint8_t>& bytes) {
    for (int n = 1; n <= kMaxSuffix; ++n) {
        std::string name = baseName;
        if (n > 1) {
            name.append("_").append(std::to_string(n));
        }
        const std::filesystem::path path = folder / name.append(extension);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return {};
        }
        const bool written =
            platform::WriteAll(fd, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        if (::close(fd) != 0 || !written) {
            ::unlink(path.c_str());
            return {};
        }
        return path;
    }
    return {};
}

std::filesystem::path SaveSnapshot(const std::string& folder, const std::uint8_t* picture,
                                   std::uint16_t width, std::uint16_t height,
                                   std::uint32_t format) {
    if (!picture || width == 0 || height == 0) {
        return {};
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const bool bmp = format == kSnapshotBmp;
    const std::vector<std::uint8_t> bytes =
        bmp ? BmpFileBytes(picture, width, height)
            : platform::EncodeBottomUpBgr(picture, width, height);
    if (bytes.empty()) {
        return {};
    }
    return WriteNewFile(folder, SnapshotBaseName(local), bmp ? ".bmp" : ".jpg", bytes);
}

SnapshotReport ReportSnapshot(const std::filesystem::path& written, const std::string& folder) {
    if (written.empty()) {
        return {"Snapshot not saved", "Snapshot not saved: cannot write to " + folder};
    }
    return {"Snapshot " + written.filename().string() + " saved",
            "Snapshot saved to " + written.string()};
}
