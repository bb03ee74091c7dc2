#include "platform/jpeg.h"

#include <turbojpeg.h>

namespace platform {

namespace {

constexpr int kDecodeFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

bool SidesAllowed(int width, int height) {
    return width > 0 && height > 0 && width <= kMaxJpegSide && height <= kMaxJpegSide;
}

}  // namespace

JpegDecoder::JpegDecoder() : m_handle(tjInitDecompress()) {}

JpegDecoder::~JpegDecoder() {
    if (m_handle) {
        tjDestroy(m_handle);
    }
}

bool JpegDecoder::ReadHeader(const std::uint8_t* data, std::size_t length, JpegHeader* header) {
    if (!m_handle) {
        m_handle = tjInitDecompress();
    }
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!m_handle || !data || length == 0) {
        return false;
    }
    if (tjDecompressHeader3(m_handle, data, static_cast<unsigned long>(length), &width, &height,
                            &subsampling, &colourspace) != 0) {
        Renew();
        return false;
    }
    if (!SidesAllowed(width, height)) {
        return false;
    }
    *header = {width, height};
    return true;
}

bool JpegDecoder::DecodeBottomUpBgr(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                                    std::size_t capacity, JpegHeader* header) {
    return ReadHeader(data, length, header) &&
           Decode(data, length, dst, capacity, *header, TJPF_BGR, 3, TJFLAG_BOTTOMUP);
}

bool JpegDecoder::DecodeTopDownBgrx(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                                    std::size_t capacity, const JpegHeader& header) {
    return Decode(data, length, dst, capacity, header, TJPF_BGRX, 4, 0);
}

bool JpegDecoder::Decode(const std::uint8_t* data, std::size_t length, std::uint8_t* dst,
                         std::size_t capacity, const JpegHeader& header, int pixelFormat,
                         int pixelBytes, int flags) {
    if (!m_handle || !SidesAllowed(header.width, header.height)) {
        return false;
    }
    const std::size_t pitch = static_cast<std::size_t>(header.width) * pixelBytes;
    if (!dst || pitch * static_cast<std::size_t>(header.height) > capacity) {
        return false;
    }
    if (tjDecompress2(m_handle, data, static_cast<unsigned long>(length), dst, header.width,
                      static_cast<int>(pitch), header.height, pixelFormat,
                      flags | kDecodeFlags) != 0) {
        Renew();
        return false;
    }
    return true;
}

void JpegDecoder::Renew() {
    // A handle that failed part-way through a frame can stay in a state in which it refuses every
    // later frame, intact ones too; only a fresh one is sure to be sound.
    if (m_handle) {
        tjDestroy(m_handle);
    }
    m_handle = tjInitDecompress();
}

std::vector<std::uint8_t> EncodeBottomUpBgr(const std::uint8_t* pixels, int width, int height,
                                            int quality) {
    std::vector<std::uint8_t> out;
    if (!pixels || !SidesAllowed(width, height)) {
        return out;
    }
    tjhandle handle = tjInitCompress();
    if (!handle) {
        return out;
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, pixels, width, width * 3, height, TJPF_BGR, &jpeg, &size, TJSAMP_420,
                    quality, TJFLAG_BOTTOMUP) == 0) {
        out.assign(jpeg, jpeg + size);
    }
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

}  // namespace platform
