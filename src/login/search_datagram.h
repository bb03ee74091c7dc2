#pragma once

// The LAN discovery datagram and its exchange: one 76-byte layout for search, set-address and
// reset requests and for the devices' answers, broadcast from one UDP port to the devices' port,
// answered to a third port.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net.h"

inline constexpr std::size_t kLanSearchDatagramSize = 76;
using LanSearchBytes = std::array<std::uint8_t, kLanSearchDatagramSize>;

enum class LanSearchOperation : std::uint8_t { Search = 1, SetAddress = 2, Reset = 3 };

// Byte 17 of a set-address or reset answer.
inline constexpr std::uint8_t kLanResultDone = 1;
inline constexpr std::uint8_t kLanResultBadAccount = 0;
inline constexpr std::uint8_t kLanResultNotStatic = 2;

// Device code of a search answer that the network settings may be changed for.
inline constexpr std::uint8_t kLanDeviceVideoServer = 0x32;
inline constexpr std::uint8_t kLanDevice16ChMpeg4Dvr = 0x57;

struct LanSearchDatagram {
    // Text fields are 16 zero-padded bytes: encoding keeps 15 characters and a terminating zero,
    // decoding takes up to all 16, since a device need not end a full field with a zero.
    std::string command;  // "QX_SEARCH", "QX_SET_IP", "QX_RESET"
    std::uint8_t operation = 0;
    std::uint8_t code = 0;  // answer: device code or result code
    std::array<std::uint8_t, 6> mac{};
    std::string user;
    std::string password;
    std::array<std::uint8_t, 4> address{};
    std::array<std::uint8_t, 4> mask{};
    std::array<std::uint8_t, 4> gateway{};
    std::array<std::uint8_t, 4> dns{};
    std::uint16_t port = 0;
};

LanSearchBytes EncodeLanSearchDatagram(const LanSearchDatagram& datagram);
LanSearchDatagram DecodeLanSearchDatagram(const LanSearchBytes& bytes);

// The DEVICE column text of a search answer's device code, and the code kept for the answer: a
// code outside the table is shown and kept as a video server.
struct LanDeviceKind {
    std::uint8_t code;
    const char* text;
};
LanDeviceKind MapLanDeviceCode(std::uint8_t code);
// Every kind the table knows, for sizing the DEVICE column.
std::span<const LanDeviceKind> LanDeviceKinds();

// "a.b.c.d" with four decimal numbers 0 to 255 and nothing else; null otherwise.
std::optional<std::array<std::uint8_t, 4>> ParseDottedQuad(std::string_view text);
// Six hex pairs separated by ":" ("00:12:ab:34:cd:56"); null otherwise.
std::optional<std::array<std::uint8_t, 6>> ParseMacText(std::string_view text);
std::string FormatDottedQuad(const std::array<std::uint8_t, 4>& bytes);
// Lower-case "%.2x:%.2x:..." as the result list shows it.
std::string FormatMacText(const std::array<std::uint8_t, 6>& mac);

// Where the exchange sends and listens. The program uses the defaults; tests point the
// destination and the ports at loopback.
struct LanSearchEndpoints {
    std::string destination = "255.255.255.255";
    std::uint16_t destinationPort = 7777;
    std::uint16_t sendPort = 3333;
    std::uint16_t replyPort = 3332;
    // Local address the send socket is bound to; empty: platform::LocalIPv4Address().
    std::string localAddress;
    // Local address the answer socket is bound to; empty: any.
    std::string replyBindAddress;

    std::string LocalAddress() const;
};

// Broadcasts one datagram. False (after the "SendBroadCast is wrong" box) when the socket cannot
// be made, bound or sent from.
bool SendSearchBroadcast(const LanSearchBytes& datagram, const LanSearchEndpoints& endpoints);

using LanMac = std::array<std::uint8_t, 6>;

// What an answer must be to count. Any host on the network can send to the answer port, so a
// datagram counts only when it is exactly one datagram long and names a device by a unicast
// address; an answer to a set-address or reset must also name `device`, the one that was asked.
// The command and operation bytes of an answer are not looked at: devices are not held to echo
// them, and a device that did what it was asked must not read as silent.
bool IsLanAnswer(const std::uint8_t* datagram, std::size_t length,
                 const std::optional<LanMac>& device);

// The socket the answers arrive on. It is bound before the request goes out, so that an answer
// that comes at once is not lost.
class LanReplySocket {
public:
    enum class Open { Ok, NoSocket, BindFailed };
    // Dropped: a datagram arrived that is no answer (IsLanAnswer).
    enum class Wait { Datagram, Dropped, TimedOut, Stopped, Failed };

    Open Bind(const LanSearchEndpoints& endpoints);
    // Waits up to `timeoutMs` of the program clock for the next datagram, answer or not.
    Wait ReceiveOne(std::uint32_t timeoutMs, LanSearchBytes& answer,
                    const std::optional<LanMac>& device);
    // Waits up to `timeoutMs` for an answer; whatever else arrives is dropped and the wait goes
    // on with the time that is left.
    Wait Receive(std::uint32_t timeoutMs, LanSearchBytes& answer,
                 const std::optional<LanMac>& device);
    void Close() { m_socket.Close(); }

private:
    platform::SocketFd m_socket;
};

// The answers of one search on their way from the receiving thread to the dialog: the latest
// answer of each device (by its MAC), of at most kMaxDevices devices, so that a host answering
// without end, or under ever new addresses, costs neither memory nor the dialog's time. One
// message at a time is in flight to the dialog: the receiving thread asks for one only when
// nothing was waiting.
class LanAnswerCollector {
public:
    static constexpr std::size_t kMaxDevices = 256;

    // On the receiving thread. True when the dialog must be told that answers wait.
    bool Offer(const LanSearchBytes& answer);
    // On the dialog's thread: the answers waiting, in the order their devices first answered.
    std::vector<LanSearchBytes> Take();

private:
    std::mutex m_mutex;
    std::set<LanMac> m_devices;  // every device of this search that was let in
    std::vector<LanSearchBytes> m_waiting;
};
