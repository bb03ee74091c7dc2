#pragma once

#include <cstdint>

// What the stream's packet-header parser found in one packet; one record per socket buffer.
struct PacketInfo {
    std::uint32_t dwPayloadLength = 0;
    std::uint8_t byBit6Value = 0;
    std::uint8_t byBit3Value = 0;
    std::uint8_t byBit4Value = 0;
    char szHUText[16] = {};
    std::uint32_t dwPresence = 0;
    std::uint32_t dwHeaderLength = 0;
    std::uint32_t dwTimeStamp = 0;
    std::uint16_t wAlarm1 = 0;
    std::uint16_t wAlarm2 = 0;
    std::uint16_t wAlarm3 = 0;
};
