#pragma once

// Protocol pieces the client carries without using them in any flow: the ICMP echo, the
// connectivity test, the datagram session sender, and stream helpers for MPEG-2 and G.711
// material that the JPEG stream never holds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class Login;

class CPing {
public:
    static constexpr std::size_t kRequestSize = 45;

    // 1 when an echo reply arrived within 1 s.
    std::uint32_t Ping(const std::string& host);

    // The echo request with the next identifier and sequence number and `tick` as its time.
    static std::array<std::uint8_t, kRequestSize> BuildRequest(std::uint32_t tick);
};

// 1 when a TCP connection to the device's address and web port succeeds.
std::uint32_t DectectSocketConnection();

// Waits on the login object's send and stop events; on each send event, sends the session
// datagrams to the device's address and web port. Nothing starts it.
std::uint32_t UdpSessionThread(Login& login);
// The two datagram texts the session sender sends.
std::vector<std::string> UdpSessionDatagrams();

// The 32 low bits of an MPEG-2 video PES header's PTS (flags 2) or DTS (flags 3); 0 when the
// header is not such a header.
std::uint32_t MpegPesTimestamp(const std::uint8_t* header, std::size_t length);

// G.711 mu-law to 16-bit linear.
std::int16_t MuLawToLinear(std::uint8_t sample);

// The index just after the first 0xFF of the first FF D9 FF FF, or 0 when there is none.
std::size_t FindJpegEnd(const std::uint8_t* buffer, std::size_t length);

// The parser object around the mu-law decoder: its working buffers and counters.
class CMpegStreamParser {
public:
    CMpegStreamParser();

private:
    std::array<std::vector<std::uint8_t>, 6> m_buffers;
    std::uint32_t m_dwFrames = 0;
    std::uint32_t m_dwBytes = 0;
};
