#pragma once

// The one-slot mailbox of the kernel message thread. A sender takes the free slot, writes the code
// and its two parameters, and signals the posted message; the dispatcher frees the slot when it
// has acted.

#include <cstdint>

#include "platform/clock.h"

enum KERNEL_MSG : std::uint32_t {
    Get_Image_TimeOut_Message = 1,
    KMSG_SHOW_FRAME = 2,
    KMSG_NONE = 3,
    KMSG_PLAY_ALARM_SOUND = 4,
    KMSG_STOP_ALARM_SOUND = 5,
    KMSG_EXIT = 6,
};

// False, posting nothing, when the slot does not come free within `timeoutMs`, the mailbox does
// not exist, or the calling thread is asked to stop meanwhile.
bool PostKernelMessage(std::uint32_t code, std::uint32_t param1, std::uint32_t param2,
                       std::uint32_t timeoutMs = platform::kInfinite);
