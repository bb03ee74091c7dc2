#pragma once

// The JPEG codec: reading a frame's header, decoding it into a 24-bit picture in the row order
// of a device-independent bitmap (bottom-up, blue-green-red, rows of width x 3 bytes with no
// padding) and writing such a picture to a JPEG file.
//
// Frames come from the network, so every size is checked before anything is allocated or
// written, progressive frames are limited in their number of scans, and a frame with any error
// or warning (corrupt, truncated) is refused as a whole.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace platform {

// The largest picture side any caller accepts; larger headers are refused before decoding.
inline constexpr int kMaxJpegSide = 4096;

struct JpegHeader {
    int width = 0;
    int height = 0;
};

// One decoder per thread; it keeps its codec state between intact frames and starts afresh after
// any damaged one, so one bad frame never spoils the next.
class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // False for a frame whose header cannot be read or whose sides are not 1 to kMaxJpegSide.
    bool ReadHeader(const std::uint8_t* data, std::size_t length, JpegHeader* header);
    // Decodes into dst, which holds `capacity` bytes. False, with `header` filled when the header
    // could be read, when the picture does not fit or the frame is damaged; dst may then hold
    // part of the picture.
    bool DecodeBottomUpBgr(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                           std::size_t capacity, JpegHeader* header);
    // Decodes a frame whose header ReadHeader gave into rows top to bottom of width x 4 bytes,
    // blue-green-red and 0xFF (QImage::Format_RGB32), the form the window draws without
    // converting. False as above.
    bool DecodeTopDownBgrx(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                           std::size_t capacity, const JpegHeader& header);

private:
    bool Decode(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                std::size_t capacity, const JpegHeader& header, int pixelFormat, int pixelBytes,
                int flags);
    void Renew();

    void* m_handle;
};

// The bytes of a JPEG file of a bottom-up blue-green-red picture; empty on failure.
std::vector<std::uint8_t> EncodeBottomUpBgr(const std::uint8_t* pixels, int width, int height,
                                            int quality = 75);

}  // namespace platform
