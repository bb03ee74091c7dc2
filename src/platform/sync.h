#pragma once

// Events, semaphores and waits with the semantics the rest of the program was designed around:
// objects are named by handles, a wait on several objects takes the lowest signalled index and
// consumes only that object, and a wait on a null or closed handle fails at once.
//
// Every blocking call here also wakes when the calling thread is asked to stop (see thread.h) and
// then fails, so a stop request never leaves a thread stuck in a wait.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

class Handle {
public:
    constexpr Handle() = default;
    constexpr explicit Handle(std::uint32_t id) : id_(id) {}

    constexpr std::uint32_t Id() const { return id_; }
    constexpr explicit operator bool() const { return id_ != 0; }
    friend constexpr bool operator==(Handle, Handle) = default;

private:
    std::uint32_t id_ = 0;
};

// A handle kept where several threads read it and more than one may release it: loads, stores
// and take-and-clear are atomic, so of two releasers exactly one gets the handle.
class HandleField {
public:
    HandleField() = default;
    HandleField(const HandleField&) = delete;
    HandleField& operator=(const HandleField&) = delete;

    Handle Get() const { return Handle(id_.load()); }
    operator Handle() const { return Get(); }
    explicit operator bool() const { return id_.load() != 0; }
    HandleField& operator=(Handle h) {
        id_.store(h.Id());
        return *this;
    }
    Handle Take() { return Handle(id_.exchange(0)); }
    // Takes the handle only while the field still holds `h`.
    bool TakeIf(Handle h) {
        std::uint32_t expected = h.Id();
        return expected != 0 && id_.compare_exchange_strong(expected, 0);
    }

private:
    std::atomic<std::uint32_t> id_{0};
};

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 0x102;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// Null handle when the object cannot be created.
Handle CreateEventObject(bool manualReset, bool initiallySignalled);
Handle CreateSemaphoreObject(std::int32_t initialCount, std::int32_t maximumCount);

bool SetEvent(Handle event);
bool ResetEvent(Handle event);
// Fails, leaving the count as it was, when the release would pass the maximum.
bool ReleaseSemaphore(Handle semaphore, std::int32_t count = 1,
                      std::int32_t* previousCount = nullptr);

// kWaitObject0 + index of the object taken, kWaitTimeout, or kWaitFailed (null or closed handle,
// or the calling thread was asked to stop). An auto-reset event is reset and a semaphore count
// taken only for the object whose index is returned.
std::uint32_t WaitForObject(Handle object, std::uint32_t timeoutMs);
std::uint32_t WaitForAnyObject(std::span<const Handle> objects, std::uint32_t timeoutMs);

// Sleeps on the program clock. False when the calling thread was asked to stop meanwhile.
bool Sleep(std::uint32_t ms);

// Closes an event or semaphore; waits on it fail from then on, including waits already under
// way. A thread handle closed here leaves its thread running until the thread ends by itself or
// is joined by JoinAllThreads (thread.h); use StopThread to end one.
bool CloseObject(Handle object);
// Takes the handle out of the field first, so concurrent releasers never close it twice.
bool CloseObject(HandleField& field);

// Open events, semaphores and thread handles (tests count them to find leaks).
std::size_t OpenObjectCount();

// Fault injection for the resource-chain tests: the next `successes` creations of events,
// semaphores or threads succeed and the one after fails. A negative value turns it off.
void FailObjectCreationAfter(int successes);

}  // namespace platform
