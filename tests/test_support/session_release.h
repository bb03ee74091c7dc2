#pragma once

// A session's resources released the way shut-down releases them.

#include "app/process_threads.h"
#include "app/session_components.h"
#include "app/system_buffers.h"

namespace test_support {

// Login and process resources, then buffers and semaphores, in shut-down's order.
inline void ReleaseSession(SessionComponents& components) {
    ExitLoginResource(components);
    ExitProcessResource();
    FreeSystemBuffer(components);
    FreeSemaphore(components);
}

}  // namespace test_support
