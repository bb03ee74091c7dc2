#pragma once

// The large shared buffers (allocated once per process) and the semaphores that guard them
// (made again around every stream rebuild).

#include <cstdint>

class SessionComponents;

std::uint32_t AllocateSystemBuffer(SessionComponents& components);
std::uint32_t FreeSystemBuffer(SessionComponents& components);
// 1 when every semaphore was made; 0 at the first that could not be.
std::uint32_t InitialSemaphore(SessionComponents& components);
std::uint32_t FreeSemaphore(SessionComponents& components);
