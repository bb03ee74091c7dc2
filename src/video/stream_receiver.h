#pragma once

// The first stage of the live picture: one connection to the device's web port, one
// "/Getvideo.cgi" request, and the reply read as packets into the socket-buffer ring for the
// compose thread. Whenever the stream breaks the thread posts mailbox code 1, which rebuilds the
// session; a stop request ends it silently.

#include <cstdint>

#include "video/stream_status.h"

class FrameSlots;
class PacketHeaderParser;

// The receive thread's state, kept in a global for GetStreamState.
enum StreamState : std::uint32_t {
    kStreamIdle = 0,             // no receive thread has run yet
    kStreamWaitingForStart = 1,  // waiting for h_StartToGetJpegImageEvent
    kStreamConnecting = 2,       // connecting and sending the request
    kStreamReceiving = 3,        // reading packets
    kStreamStopped = 4,          // ended by a stop request
    kStreamBroken = 5,           // ended by a failure; mailbox code 1 posted
};

std::uint32_t GetStreamState();

// The last frame the current connection skipped rather than passed on (a frame that is not a
// JPEG this program shows, or one over the socket buffer); empty when there was none.
SkippedFrame GetSkippedFrame();

// The thread body; returns 0.
std::uint32_t Jpeg_TCP_Get_Image_Data_Thread(PacketHeaderParser& parser, FrameSlots& slots);
