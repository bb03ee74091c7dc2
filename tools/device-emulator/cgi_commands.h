// The device's CGI commands: one row per path, in the order of their command numbers.
#pragma once

#include <optional>
#include <string_view>

#include "device_core.h"
#include "http_exchange.h"

namespace device_emulator {

struct CgiCommand {
    std::string_view path;
    bool needs_session;
    // Null for the one path that is answered by the live stream instead of a reply.
    Reply (*answer)(DeviceCore& core, const RecordedRequest& request);
};

const CgiCommand* FindCommand(std::string_view path);

// The refusal for a request whose command needs a session it does not carry.
std::optional<Reply> RefuseWithoutSession(DeviceCore& core, const CgiCommand& command,
                                          const RecordedRequest& request);

}  // namespace device_emulator
