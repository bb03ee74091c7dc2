// The device's side of one CGI exchange: read one request (a GET that may carry a body), send
// one reply shaped by the path's fault knobs.
#pragma once

#include <string>

#include "connection.h"
#include "device_emulator.h"

namespace device_emulator {

struct Reply {
    int status = 200;
    std::string body;
    std::string content_type = "text/plain";
    bool close_without_reply = false;  // the command answers by closing the connection
};

RecordedRequest ReadRequest(Connection& connection);

// Returns false when the peer could not be written to.
bool SendReply(Connection& connection, Reply reply, const ReplyFaults& faults);

}  // namespace device_emulator
