// The device's CGI commands: one row per path, in the order of their command numbers.
#pragma once

#include <optional>
#include <string_view>

#include "connection.h"
#include "device_core.h"
#include "http_exchange.h"

namespace device_emulator {

struct CgiCommand {
    std::string_view path;
    bool needs_session;
    // Null for the paths that are answered by a stream of their own instead of a reply.
    Reply (*answer)(DeviceCore& core, const RecordedRequest& request);
    // The stream of such a path; null for the live stream.
    void (*stream)(DeviceCore& core, Connection& connection,
                   const RecordedRequest& request) = nullptr;
};

const CgiCommand* FindCommand(std::string_view path);

// The refusal for a request whose command needs a session it does not carry.
std::optional<Reply> RefuseWithoutSession(DeviceCore& core, const CgiCommand& command,
                                          const RecordedRequest& request);

}  // namespace device_emulator
