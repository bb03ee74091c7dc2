#pragma once

// One CGI command per connection: connect to the device's address and web port, send one GET
// (with a body and Content-Length when the command carries data), read one reply, require status
// 200, return its body (protocol/cgi_reply), close.

#include <cstdint>
#include <optional>
#include <string>

// Where a command failed, for the windows that tell the user more than that it failed.
enum class SendFailure : std::uint8_t {
    None,         // sent and answered with status 200 (or the failure has no cause of its own)
    NoAddress,    // no device address is set
    NoSuchHost,   // the name does not resolve
    Refused,      // the host answered, but nothing listens on the port
    Unreachable,  // no route to the host
    NoAnswer,     // no connection or no reply within the time-outs
    Status,       // a reply with a status other than 200, in httpStatus
    BadReply,     // a reply that cannot be read as one (length, body)
};

struct VortaStatus {
    std::uint32_t reserved = 0;
    // The HTTP status of a reply other than 200 (202: the device has too many users).
    std::int32_t httpStatus = 0;
    SendFailure failure = SendFailure::None;
};

inline constexpr std::uint16_t kCommandSeconds = 15;

// 1 on success, 0 on failure. The body goes to `reply` (at most `replyCapacity` bytes; a body
// that does not fit fails the call) with its length in `*replyLength`; both may be null.
// `receiveSeconds` bounds the whole reply, however its bytes arrive. An url a request line cannot
// carry (an empty one, as a refused CCgiRequest leaves) fails the call before anything is sent.
// `showTimeout` 1 makes a failed connection of the login command show a status text.
int VortaSendCommand(std::uint8_t command, const std::string& url, const void* body,
                     std::uint32_t bodyLength, VortaStatus* status, void* reply,
                     std::uint32_t replyCapacity, std::uint32_t* replyLength,
                     std::uint16_t sendSeconds = kCommandSeconds,
                     std::uint16_t receiveSeconds = kCommandSeconds, std::uint16_t showTimeout = 0);

// 2 when the text holds only digits and dots (also when empty), 1 otherwise.
int IsDottedAddress(const std::string& text);

// The device's address and web port as the settings hold them. Senders on several threads read
// them while a login or the network page may change them.
struct DeviceAddress {
    std::string server;
    std::uint16_t webPort = 0;
};
DeviceAddress GetDeviceAddress();
void SetDeviceAddress(const std::string& server, std::uint16_t webPort);

// Moves the client to the address and web port the device has just accepted in its IP section;
// a part left unset stays as it is. The caller does it straight after that send's own accepted
// reply, so the send itself went to the old address and every command after it goes to the new
// one.
void SwitchDeviceAddress(const std::optional<std::string>& server,
                         std::optional<std::uint16_t> webPort);
