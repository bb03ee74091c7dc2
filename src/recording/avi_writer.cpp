#include "recording/avi_writer.h"

#include <algorithm>
#include <cstring>

#include "recording/record_bytes.h"
#include "ui/message_sink.h"

namespace recording {
namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyFrame = 0x10;
constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kListHeader = 12;
constexpr std::size_t kMainHeaderSize = 56;
constexpr std::size_t kStreamHeaderSize = 56;
constexpr std::size_t kBitmapInfoSize = 40;
// RIFF, hdrl list (avih, strl list (strh, strf)), then the movi list header.
constexpr std::size_t kHeadersSize = kListHeader + kListHeader + kChunkHeader + kMainHeaderSize +
                                     kListHeader + kChunkHeader + kStreamHeaderSize + kChunkHeader +
                                     kBitmapInfoSize + kListHeader;
constexpr std::size_t kIndexEntrySize = 16;

// Appends little-endian fields and four-character codes.
class Bytes {
public:
    Bytes& FourCC(const char* code) {
        const std::size_t at = Grow(4);
        std::memcpy(&m_bytes[at], code, 4);
        return *this;
    }
    Bytes& U32(std::uint32_t v) {
        const std::size_t at = Grow(4);
        PutU32(&m_bytes[at], v);
        return *this;
    }
    Bytes& U16(std::uint16_t v) {
        const std::size_t at = Grow(2);
        PutU16(&m_bytes[at], v);
        return *this;
    }
    Bytes& Zeros(std::size_t n) {
        Grow(n);
        return *this;
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::size_t Grow(std::size_t n) {
        m_bytes.resize(m_bytes.size() + n);
        return m_bytes.size() - n;
    }
    std::vector<std::uint8_t> m_bytes;
};

bool IsStartOfFrame(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

bool JpegPictureSize(std::span<const std::uint8_t> jpeg, std::uint16_t* width,
                     std::uint16_t* height) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        return false;
    }
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const std::uint8_t marker = jpeg[at + 1];
        const std::size_t length = (std::size_t{jpeg[at + 2]} << 8) | jpeg[at + 3];
        if (IsStartOfFrame(marker)) {
            if (at + 9 > jpeg.size()) {
                return false;
            }
            *height = static_cast<std::uint16_t>((jpeg[at + 5] << 8) | jpeg[at + 6]);
            *width = static_cast<std::uint16_t>((jpeg[at + 7] << 8) | jpeg[at + 8]);
            return *width != 0 && *height != 0;
        }
        if (marker == 0xDA || length < 2) {
            return false;
        }
        at += 2 + length;
    }
    return false;
}

AviWriter::AviWriter(std::filesystem::path path, std::uint32_t framesPerSecond)
    : m_strFileName(std::move(path)), m_dwRate(framesPerSecond ? framesPerSecond : 1) {}

AviWriter::~AviWriter() {
    Close();
}

std::uint32_t AviWriter::AddJpegFrame(std::span<const std::uint8_t> jpeg) {
    switch (m_State) {
        case kNotOpen:
            return Open(jpeg);
        case kWriting:
            return Write(jpeg);
        case kFailed:
            break;
    }
    return kAviFail;
}

std::uint32_t AviWriter::Fail() {
    m_State = kFailed;
    m_File.Close();
    return kAviFail;
}

std::uint32_t AviWriter::Open(std::span<const std::uint8_t> firstFrame) {
    const bool opened =
        JpegPictureSize(firstFrame, &m_wWidth, &m_wHeight) &&
        m_File.CreateUnique(m_strFileName.parent_path(), m_strFileName.stem().string(),
                            m_strFileName.extension().string());
    if (!opened || !m_File.WriteAt(0, {Headers()})) {
        ui::ShowMessage(kAviRenderFailed);
        return Fail();
    }
    m_qwEnd = kHeadersSize;
    m_State = kWriting;
    return Write(firstFrame);
}

std::uint32_t AviWriter::Write(std::span<const std::uint8_t> jpeg) {
    const auto size = static_cast<std::uint32_t>(jpeg.size());
    const std::uint8_t pad[1] = {0};
    const std::vector<std::uint8_t> header = Bytes().FourCC("00dc").U32(size).Take();
    // Chunks start on even offsets.
    if (!m_File.WriteAt(m_qwEnd, {header, jpeg, std::span(pad, size % 2)})) {
        return Fail();
    }
    const std::uint64_t moviType = kHeadersSize - 4;
    m_Index.emplace_back(static_cast<std::uint32_t>(m_qwEnd - moviType), size);
    m_qwEnd += kChunkHeader + size + size % 2;
    m_dwMaxFrameSize = std::max(m_dwMaxFrameSize, size);
    return kAviOk;
}

std::vector<std::uint8_t> AviWriter::Headers() const {
    const auto frames = static_cast<std::uint32_t>(m_Index.size());
    const std::uint64_t end = std::max<std::uint64_t>(m_qwEnd, kHeadersSize);
    // Sizes count what follows the size field; the index chunk follows the movi list.
    const auto riffSize = static_cast<std::uint32_t>(end + frames * kIndexEntrySize);
    const auto moviSize = static_cast<std::uint32_t>(end - kHeadersSize + 4);
    const std::uint32_t strlSize =
        4 + kChunkHeader + kStreamHeaderSize + kChunkHeader + kBitmapInfoSize;
    const std::uint32_t hdrlSize = 4 + kChunkHeader + kMainHeaderSize + kChunkHeader + strlSize;
    const std::uint32_t imageSize = std::uint32_t{m_wWidth} * m_wHeight * 3;
    // clang-format off
    return Bytes()
        .FourCC("RIFF").U32(riffSize).FourCC("AVI ")
        .FourCC("LIST").U32(hdrlSize).FourCC("hdrl")
        .FourCC("avih").U32(kMainHeaderSize)
            .U32(1'000'000 / m_dwRate).U32(m_dwMaxFrameSize * m_dwRate).U32(0)
            .U32(kAvifHasIndex).U32(frames).U32(0).U32(1).U32(m_dwMaxFrameSize)
            .U32(m_wWidth).U32(m_wHeight).Zeros(16)
        .FourCC("LIST").U32(strlSize).FourCC("strl")
        .FourCC("strh").U32(kStreamHeaderSize)
            .FourCC("vids").FourCC("MJPG").U32(0).U16(0).U16(0).U32(0)
            .U32(1).U32(m_dwRate).U32(0).U32(frames).U32(m_dwMaxFrameSize)
            .U32(0xFFFFFFFF).U32(0).U16(0).U16(0).U16(m_wWidth).U16(m_wHeight)
        .FourCC("strf").U32(kBitmapInfoSize)
            .U32(kBitmapInfoSize).U32(m_wWidth).U32(m_wHeight).U16(1).U16(24).FourCC("MJPG")
            .U32(imageSize).U32(0).U32(0).U32(0).U32(0)
        .FourCC("LIST").U32(moviSize).FourCC("movi")
        .Take();
    // clang-format on
}

bool AviWriter::Close() {
    if (m_State != kWriting) {
        return m_State == kNotOpen;
    }
    Bytes index;
    index.FourCC("idx1").U32(static_cast<std::uint32_t>(m_Index.size() * kIndexEntrySize));
    for (const auto& [offset, size] : m_Index) {
        index.FourCC("00dc").U32(kAviifKeyFrame).U32(offset).U32(size);
    }
    const bool ended = m_File.WriteAt(m_qwEnd, {index.Take()}) && m_File.WriteAt(0, {Headers()});
    const bool closed = m_File.Close();
    m_State = ended && closed ? kNotOpen : kFailed;
    m_Index.clear();
    m_qwEnd = 0;
    m_dwMaxFrameSize = 0;
    return ended && closed;
}

}  // namespace recording
