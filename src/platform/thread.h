#pragma once

// Threads that are stopped cooperatively. Killing a thread that may hold a lock or half-written
// shared state is not something we do; instead a stop request wakes every blocking call of this
// layer that the thread is in (waits, sleeps, socket I/O, name lookups, audio writes), which then
// fail at once, and the thread unwinds normally. A thread that misses its deadline is reported
// with exit code 31.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/sync.h"

namespace platform {

inline constexpr std::uint32_t kLateStopExitCode = 31;

using ThreadProc = std::function<std::uint32_t()>;

// Starts a thread running `proc`. Its handle is signalled when it ends. Null handle on failure.
Handle StartThread(ThreadProc proc);

// True when the calling thread has been asked to stop (false on threads not started here).
bool StopRequested();

// An eventfd that becomes readable once the calling thread is asked to stop, for poll() based
// I/O; -1 on threads not started here (the GUI thread), which are never asked to stop.
int CurrentStopFd();

// The stop rule: take the handle from the field, ask the thread to stop, wait up to `waitMs`,
// join it, close the handle. Returns the thread's exit code, or kLateStopExitCode when it did
// not end in time. The join is bounded too: a thread still running 2 s past its deadline is no
// longer waited for, but joined when it ends or by JoinAllThreads. An empty field returns 0 at
// once. A thread may not stop itself this way: its handle is then only closed.
std::uint32_t StopThread(HandleField& field, std::uint32_t waitMs);

// Asks a thread to stop and returns at once, so a window can let go of a thread without waiting
// for it; the handle stays open for StopThread, which then only has to wait for the unwinding.
// A null or closed handle is ignored.
void RequestStop(Handle thread);

// For a thread whose work is done: closes its own handle if `field` still holds it, so that the
// thread and its descriptor go as soon as it ends instead of waiting for the next stop. False
// when the field holds another handle or none (a stopper has it).
bool CloseOwnHandle(HandleField& field);

// The exit code of an ended thread whose handle is still open.
std::optional<std::uint32_t> ThreadExitCode(Handle thread);

// Threads that have not ended yet, handle open or not (tests count them to find strays).
std::size_t RunningThreadCount();

// Stops and joins every thread still running (the last step of shut-down and of each test).
void JoinAllThreads();

}  // namespace platform
