#pragma once

// Remote-control keys: the current device's CtrlFile.ini template for a key, its placeholders
// filled, framed by a count byte, a key argument and an end byte, sent as the body of
// "/RS485Cmd.cgi" to the current master or peripheral.

#include <cstdint>
#include <optional>
#include <vector>

#include "kernel/ctrl_protocol.h"

// The longest body a device takes.
inline constexpr std::size_t kMaxKeyBody = 64;

// What the placeholders are filled from.
struct KeyContext {
    std::uint8_t masterId = 0;
    std::uint8_t peripheralId = 0;
    std::uint8_t userClassCode = 0;
    bool retr = false;
};

// The body, always count + 3 bytes; nothing when the template would not fit kMaxKeyBody.
std::optional<std::vector<std::uint8_t>> BuildKeyBody(const CtrlProtocol& protocol,
                                                      const KeyCommandEntry& entry,
                                                      std::uint8_t keyArgument,
                                                      const KeyContext& context);

// Sends one key of the current device; `useKeyMode` picks the configured key mode as argument.
int SendRemoteKey(std::uint32_t useKeyMode, std::uint16_t keyIndex);
// 1 when the device accepted the command.
int SendKeyCommand(const CtrlProtocol& protocol, const KeyCommandEntry& entry,
                   std::uint8_t keyArgument);
// The protocol bound to the current device's type, or none.
const CtrlProtocol* CurrentProtocol();
