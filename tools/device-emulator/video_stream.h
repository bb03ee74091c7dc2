// The live stream of "/Getvideo.cgi": no status line (unless refused), only packets from the first
// byte on, each a presence-bitmap header and one JPEG frame.
#pragma once

#include "connection.h"
#include "device_core.h"

namespace device_emulator {

// Sends packets until the peer goes, the emulator stops or the frame limit ends the stream.
void RunVideoStream(DeviceCore& core, Connection& connection);

}  // namespace device_emulator
