#pragma once

// The one reader of the device's replies to CGI commands. A reply is a status line, header lines
// (each line ended by CR LF or by a bare LF, as HTTP readers accept), a blank line and a body
// whose end the headers tell: by chunks ("Transfer-Encoding: chunked"), by
// Content-Length, or, with neither, by the device closing the connection, as HTTP/1.1 allows
// for the requests the program sends. One deadline bounds the whole reply, however its bytes
// arrive.

#include <cstdint>

#include "protocol/command_sender.h"

class CBlockingSocket;

struct CgiReplyResult {
    SendFailure failure = SendFailure::None;
    std::int32_t httpStatus = 0;  // the status of a reply other than 200
    std::uint32_t bodyLength = 0;
};

// Reads the reply on `socket` within `wholeReplyMs` of the program clock. Status 200 succeeds;
// the body then goes to `body`, which it must fit (`capacity` bytes). A null `body` leaves the
// body unread. Failures: NoAnswer (no status line in time), Status, BadReply (a status line
// without a status number, a header or body that cannot be read, does not fit, or does not arrive
// whole in time).
CgiReplyResult ReadCgiReply(CBlockingSocket& socket, std::uint32_t wholeReplyMs, void* body,
                            std::uint32_t capacity);
