// The LAN discovery answers, and the address and MAC texts the search window takes from the user
// and puts back into datagrams.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "login/search_datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= kLanSearchDatagramSize) {
        LanSearchBytes bytes;
        std::memcpy(bytes.data(), data, bytes.size());
        const LanSearchDatagram answer = DecodeLanSearchDatagram(bytes);
        MapLanDeviceCode(answer.code);
        FormatMacText(answer.mac);
        FormatDottedQuad(answer.address);
        // What the window sends back for a device it found must read as the same device.
        if (DecodeLanSearchDatagram(EncodeLanSearchDatagram(answer)).mac != answer.mac) {
            std::abort();
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto quad = ParseDottedQuad(text)) {
        if (ParseDottedQuad(FormatDottedQuad(*quad)) != quad) {
            std::abort();
        }
    }
    if (const auto mac = ParseMacText(text)) {
        if (ParseMacText(FormatMacText(*mac)) != mac) {
            std::abort();
        }
    }
    return 0;
}
