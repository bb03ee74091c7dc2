#pragma once

// Reading back what the recorders wrote: whole files as bytes, little-endian fields, the record
// files in a folder.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace recording_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

inline std::uint16_t U16At(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The files in `folder` whose names end in `extension`, sorted by name.
inline std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder,
                                                  const std::string& extension) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == extension) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A frame whose first four bytes carry `id`, the rest a pattern of it; `size` at least 4.
inline Bytes NumberedFrame(std::uint32_t id, std::size_t size) {
    Bytes frame(size);
    for (std::size_t i = 0; i < size; ++i) {
        frame[i] = static_cast<std::uint8_t>(i < 4 ? id >> (8 * i) : id * 7 + i);
    }
    return frame;
}

inline std::uint32_t FrameId(const Bytes& frame) {
    return frame.size() < 4 ? ~0u : U32At(frame, 0);
}

}  // namespace recording_test
