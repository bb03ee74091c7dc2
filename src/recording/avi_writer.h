#pragma once

// Writes a sequence of JPEG pictures as an AVI file: one Motion-JPEG video stream, each picture
// one key frame, with the index chunk at the end. The picture size comes from the first frame.
// Nothing in the program makes one; it is kept for turning recordings into a common format.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "recording/output_file.h"

namespace recording {

inline constexpr std::uint32_t kAviOk = 0;
inline constexpr std::uint32_t kAviFail = 0x80004005;
inline constexpr const char* kAviRenderFailed = "Error Occured While Rendering the Movie";

// The width and height in a JPEG picture's start-of-frame segment; false when it has none.
bool JpegPictureSize(std::span<const std::uint8_t> jpeg, std::uint16_t* width,
                     std::uint16_t* height);

class AviWriter {
public:
    // The file is made when the first frame comes: `path`, or `path` with a number added when
    // that name is taken. `framesPerSecond` is the playing rate.
    explicit AviWriter(std::filesystem::path path, std::uint32_t framesPerSecond = 1);
    // Finishes the file.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // kAviOk, or kAviFail once the file could not be made or written (then for good; a failure
    // to make the file is shown in a message box).
    std::uint32_t AddJpegFrame(std::span<const std::uint8_t> jpeg);
    // Writes the index and the final sizes and closes the file; false when that failed.
    bool Close();

    const std::filesystem::path& Path() const { return m_File.Path(); }

private:
    enum State : std::uint8_t { kFailed = 0, kNotOpen = 1, kWriting = 2 };

    std::uint32_t Open(std::span<const std::uint8_t> firstFrame);
    std::uint32_t Write(std::span<const std::uint8_t> jpeg);
    std::uint32_t Fail();
    std::vector<std::uint8_t> Headers() const;

    std::filesystem::path m_strFileName;
    std::uint32_t m_dwRate;
    State m_State = kNotOpen;
    OutputFile m_File;
    std::uint16_t m_wWidth = 0;
    std::uint16_t m_wHeight = 0;
    std::uint32_t m_dwMaxFrameSize = 0;
    std::uint64_t m_qwEnd = 0;
    // Offset (from the "movi" list type) and size of each frame chunk.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_Index;
};

}  // namespace recording
