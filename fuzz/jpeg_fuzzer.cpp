// JPEG frames on one decoder kept for the life of the process, as the compose thread keeps its
// own: a damaged frame must leave nothing behind that spoils the next one.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kernel/kernel_object.h"
#include "platform/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::JpegDecoder decoder;
    static std::vector<std::uint8_t> slot(kImageSlotSize);
    platform::JpegHeader header;
    if (decoder.ReadHeader(data, size, &header) &&
        (header.width < 1 || header.height < 1 || header.width > platform::kMaxJpegSide ||
         header.height > platform::kMaxJpegSide)) {
        std::abort();
    }
    // The image slot of the pipeline, and a room one row short of the picture.
    decoder.DecodeBottomUpBgr(data, size, slot.data(), slot.size(), &header);
    if (header.width > 0) {
        const std::size_t need = static_cast<std::size_t>(header.width) * header.height * 3;
        std::vector<std::uint8_t> tight(need - static_cast<std::size_t>(header.width) * 3);
        if (decoder.DecodeBottomUpBgr(data, size, tight.data(), tight.size(), &header)) {
            std::abort();
        }
    }
    return 0;
}
