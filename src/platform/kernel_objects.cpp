// One table of events, semaphores and threads behind one lock. Frames move through the program at
// a few thousand semaphore operations a second, so a single lock costs little and makes "wait on
// several objects, take exactly one" straightforward to get right; what does cost is a thread
// woken only to block on that lock, so a signal wakes its waiters once the lock is released.

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace platform {
namespace {

struct Waiter {
    std::condition_variable cv;
};

// Shared with the objects it waits on, so that a waker still holds it after dropping the lock.
using WaiterPtr = std::shared_ptr<Waiter>;

enum class Kind { Event, Semaphore, Thread };

struct KernelObject {
    explicit KernelObject(Kind k) : kind(k) {}
    ~KernelObject() {
        if (stopFd >= 0) {
            ::close(stopFd);
        }
    }

    Kind kind;
    bool closed = false;
    std::vector<WaiterPtr> waiters;

    // Events; an ended thread counts as signalled.
    bool manualReset = false;
    bool signalled = false;

    // Semaphores.
    std::int32_t count = 0;
    std::int32_t maximum = 0;

    // Threads.
    std::thread thread;
    std::uint32_t exitCode = 0;
    bool stopRequested = false;
    int stopFd = -1;
    std::vector<WaiterPtr> stopWaiters;
};

using ObjectPtr = std::shared_ptr<KernelObject>;

std::mutex g_mutex;
std::unordered_map<std::uint32_t, ObjectPtr> g_objects;
// Threads whose handles were closed while they ran; joined when they end or at JoinAllThreads.
std::vector<ObjectPtr> g_orphans;
std::uint32_t g_nextId = 1;
std::atomic<int> g_failCountdown{-1};

thread_local KernelObject* t_self = nullptr;

// How long a stopper waits past a thread's deadline for it to unwind before leaving it.
constexpr std::uint32_t kLateStopGraceMs = 2'000;

bool CreationAllowed() {
    int expected = g_failCountdown.load();
    while (expected >= 0) {
        const int next = expected == 0 ? -1 : expected - 1;
        if (g_failCountdown.compare_exchange_weak(expected, next)) {
            return expected != 0;
        }
    }
    return true;
}

// Caller holds g_mutex.
Handle Register(ObjectPtr object) {
    std::uint32_t id = g_nextId++;
    if (id == 0) {
        id = g_nextId++;
    }
    g_objects.emplace(id, std::move(object));
    return Handle(id);
}

ObjectPtr Find(Handle h) {
    const auto it = g_objects.find(h.Id());
    return it == g_objects.end() ? nullptr : it->second;
}

void Notify(const std::vector<WaiterPtr>& waiters) {
    for (const WaiterPtr& w : waiters) {
        w->cv.notify_one();
    }
}

// The waiters of an object that a signal may let go, woken when this goes out of scope: declared
// before the lock, it wakes them once the lock is released.
class WakeAfterUnlock {
public:
    WakeAfterUnlock() = default;
    WakeAfterUnlock(const WakeAfterUnlock&) = delete;
    WakeAfterUnlock& operator=(const WakeAfterUnlock&) = delete;
    ~WakeAfterUnlock() { Notify(m_waiters); }
    // Caller holds g_mutex.
    void Add(const std::vector<WaiterPtr>& waiters) {
        m_waiters.insert(m_waiters.end(), waiters.begin(), waiters.end());
    }

private:
    std::vector<WaiterPtr> m_waiters;
};

bool TryTake(KernelObject& o) {
    switch (o.kind) {
        case Kind::Event:
            if (!o.signalled) {
                return false;
            }
            if (!o.manualReset) {
                o.signalled = false;
            }
            return true;
        case Kind::Semaphore:
            if (o.count <= 0) {
                return false;
            }
            --o.count;
            return true;
        case Kind::Thread:
            return o.signalled;
    }
    return false;
}

void Unlink(std::vector<WaiterPtr>& list, const WaiterPtr& w) {
    std::erase(list, w);
}

// Caller holds the lock in `lock`.
std::uint32_t WaitLocked(std::unique_lock<std::mutex>& lock, std::span<const Handle> handles,
                         std::uint32_t timeoutMs, bool wakeOnOwnStop) {
    std::vector<ObjectPtr> objects;
    objects.reserve(handles.size());
    for (Handle h : handles) {
        ObjectPtr o = h ? Find(h) : nullptr;
        if (!o) {
            return kWaitFailed;
        }
        objects.push_back(std::move(o));
    }
    KernelObject* self = wakeOnOwnStop ? t_self : nullptr;
    const bool infinite = timeoutMs == kInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + ToRealDuration(infinite ? 0 : timeoutMs);

    const auto waiter = std::make_shared<Waiter>();
    for (auto& o : objects) {
        o->waiters.push_back(waiter);
    }
    if (self) {
        self->stopWaiters.push_back(waiter);
    }
    std::uint32_t result = kWaitTimeout;
    for (;;) {
        if (self && self->stopRequested) {
            result = kWaitFailed;
            break;
        }
        bool anyClosed = false;
        for (auto& o : objects) {
            anyClosed = anyClosed || o->closed;
        }
        if (anyClosed) {
            result = kWaitFailed;
            break;
        }
        bool taken = false;
        for (std::size_t i = 0; i < objects.size() && !taken; ++i) {
            if (TryTake(*objects[i])) {
                result = kWaitObject0 + static_cast<std::uint32_t>(i);
                taken = true;
            }
        }
        if (taken) {
            break;
        }
        if (infinite) {
            waiter->cv.wait(lock);
        } else if (waiter->cv.wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a signal may have raced the time-out.
            for (std::size_t i = 0; i < objects.size() && !taken; ++i) {
                if (!objects[i]->closed && TryTake(*objects[i])) {
                    result = kWaitObject0 + static_cast<std::uint32_t>(i);
                    taken = true;
                }
            }
            if (!taken) {
                result = kWaitTimeout;
            }
            break;
        }
    }
    for (auto& o : objects) {
        Unlink(o->waiters, waiter);
    }
    if (self) {
        Unlink(self->stopWaiters, waiter);
    }
    return result;
}

void MarkClosed(KernelObject& o) {
    o.closed = true;
    Notify(o.waiters);
}

void RequestStopLocked(KernelObject& o) {
    if (o.stopRequested) {
        return;
    }
    o.stopRequested = true;
    if (o.stopFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(o.stopFd, &one, sizeof one);
    }
    Notify(o.stopWaiters);
}

// Takes the std::thread out of its object under the lock, so one joiner only ever gets it.
std::thread ClaimLocked(KernelObject& o) {
    return std::move(o.thread);
}

void Join(std::thread t) {
    if (t.joinable()) {
        t.join();
    }
}

// Joins orphaned threads that have ended. Caller holds no lock.
void ReapOrphans() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(g_mutex);
        std::erase_if(g_orphans, [&](const ObjectPtr& o) {
            if (o->signalled && o.get() != t_self) {
                ended.push_back(ClaimLocked(*o));
                return true;
            }
            return false;
        });
    }
    for (auto& t : ended) {
        Join(std::move(t));
    }
}

}  // namespace

Handle CreateEventObject(bool manualReset, bool initiallySignalled) {
    if (!CreationAllowed()) {
        return {};
    }
    auto o = std::make_shared<KernelObject>(Kind::Event);
    o->manualReset = manualReset;
    o->signalled = initiallySignalled;
    std::lock_guard lock(g_mutex);
    return Register(std::move(o));
}

Handle CreateSemaphoreObject(std::int32_t initialCount, std::int32_t maximumCount) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount ||
        !CreationAllowed()) {
        return {};
    }
    auto o = std::make_shared<KernelObject>(Kind::Semaphore);
    o->count = initialCount;
    o->maximum = maximumCount;
    std::lock_guard lock(g_mutex);
    return Register(std::move(o));
}

bool SetEvent(Handle event) {
    WakeAfterUnlock wakes;
    std::lock_guard lock(g_mutex);
    ObjectPtr o = Find(event);
    if (!o || o->kind != Kind::Event) {
        return false;
    }
    o->signalled = true;
    wakes.Add(o->waiters);
    return true;
}

bool ResetEvent(Handle event) {
    std::lock_guard lock(g_mutex);
    ObjectPtr o = Find(event);
    if (!o || o->kind != Kind::Event) {
        return false;
    }
    o->signalled = false;
    return true;
}

bool ReleaseSemaphore(Handle semaphore, std::int32_t count, std::int32_t* previousCount) {
    WakeAfterUnlock wakes;
    std::lock_guard lock(g_mutex);
    ObjectPtr o = Find(semaphore);
    if (!o || o->kind != Kind::Semaphore || count <= 0 || count > o->maximum - o->count) {
        return false;
    }
    if (previousCount) {
        *previousCount = o->count;
    }
    o->count += count;
    wakes.Add(o->waiters);
    return true;
}

std::uint32_t WaitForObject(Handle object, std::uint32_t timeoutMs) {
    return WaitForAnyObject(std::span<const Handle>(&object, 1), timeoutMs);
}

std::uint32_t WaitForAnyObject(std::span<const Handle> objects, std::uint32_t timeoutMs) {
    std::unique_lock lock(g_mutex);
    return WaitLocked(lock, objects, timeoutMs, true);
}

bool Sleep(std::uint32_t ms) {
    std::unique_lock lock(g_mutex);
    return WaitLocked(lock, {}, ms, true) == kWaitTimeout;
}

bool CloseObject(Handle object) {
    ObjectPtr o;
    {
        std::lock_guard lock(g_mutex);
        const auto it = g_objects.find(object.Id());
        if (!object || it == g_objects.end()) {
            return false;
        }
        o = std::move(it->second);
        g_objects.erase(it);
        MarkClosed(*o);
        if (o->kind == Kind::Thread) {
            g_orphans.push_back(o);
        }
    }
    ReapOrphans();
    return true;
}

bool CloseObject(HandleField& field) {
    const Handle h = field.Take();
    return h && CloseObject(h);
}

void FailObjectCreationAfter(int successes) {
    g_failCountdown.store(successes < 0 ? -1 : successes);
}

Handle StartThread(ThreadProc proc) {
    ReapOrphans();
    if (!CreationAllowed()) {
        return {};
    }
    auto o = std::make_shared<KernelObject>(Kind::Thread);
    o->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (o->stopFd < 0) {
        return {};
    }
    std::unique_lock lock(g_mutex);
    const Handle handle = Register(o);
    try {
        // The thread waits for this lock before it runs, so its object is complete when it starts.
        o->thread = std::thread([o, proc = std::move(proc)] {
            {
                std::lock_guard start(g_mutex);
                t_self = o.get();
            }
            const std::uint32_t code = proc();
            std::lock_guard done(g_mutex);
            o->exitCode = code;
            o->signalled = true;
            Notify(o->waiters);
            // Nobody holds a handle to wait for or join this thread any more: it lets itself go,
            // so that its thread and stop descriptor end now rather than at the next call that
            // reaps orphans, which in a steady session may not come for a long time.
            if (o->closed && o->thread.joinable() && std::erase(g_orphans, o) != 0) {
                o->thread.detach();
            }
        });
    } catch (const std::system_error&) {
        g_objects.erase(handle.Id());
        return {};
    }
    return handle;
}

bool StopRequested() {
    std::lock_guard lock(g_mutex);
    return t_self && t_self->stopRequested;
}

int CurrentStopFd() {
    return t_self ? t_self->stopFd : -1;
}

std::uint32_t StopThread(HandleField& field, std::uint32_t waitMs) {
    const Handle h = field.Take();
    if (!h) {
        return 0;
    }
    ObjectPtr o;
    std::thread thread;
    std::uint32_t exitCode = kLateStopExitCode;
    {
        std::unique_lock lock(g_mutex);
        o = Find(h);
        if (!o || o->kind != Kind::Thread) {
            return 0;
        }
        if (o.get() == t_self) {
            lock.unlock();
            CloseObject(h);
            return 0;
        }
        RequestStopLocked(*o);
        // The stopper may itself be stopping; its own stop must not cut this wait short.
        const std::span<const Handle> self(&h, 1);
        if (WaitLocked(lock, self, waitMs, false) == kWaitObject0) {
            exitCode = o->exitCode;
        } else if (WaitLocked(lock, self, kLateStopGraceMs, false) != kWaitObject0) {
            // Stuck outside this layer: joining could hang the stopper (the window thread on
            // close), so the thread is left to be joined when it ends or at JoinAllThreads.
            g_objects.erase(h.Id());
            MarkClosed(*o);
            g_orphans.push_back(o);
            return exitCode;
        }
        thread = ClaimLocked(*o);
    }
    Join(std::move(thread));
    std::lock_guard lock(g_mutex);
    g_objects.erase(h.Id());
    MarkClosed(*o);
    return exitCode;
}

void RequestStop(Handle thread) {
    std::lock_guard lock(g_mutex);
    const ObjectPtr o = Find(thread);
    if (o && o->kind == Kind::Thread) {
        RequestStopLocked(*o);
    }
}

bool CloseOwnHandle(HandleField& field) {
    const Handle h = field.Get();
    {
        std::lock_guard lock(g_mutex);
        const ObjectPtr o = Find(h);
        if (!o || o.get() != t_self) {
            return false;
        }
    }
    // A stopper may have taken the field meanwhile; then the handle is its to close.
    return field.TakeIf(h) && CloseObject(h);
}

std::optional<std::uint32_t> ThreadExitCode(Handle thread) {
    std::lock_guard lock(g_mutex);
    ObjectPtr o = Find(thread);
    if (!o || o->kind != Kind::Thread || !o->signalled) {
        return std::nullopt;
    }
    return o->exitCode;
}

std::size_t OpenObjectCount() {
    std::lock_guard lock(g_mutex);
    return g_objects.size();
}

std::size_t RunningThreadCount() {
    std::lock_guard lock(g_mutex);
    const auto running = [](const ObjectPtr& o) {
        return o->kind == Kind::Thread && !o->signalled;
    };
    return static_cast<std::size_t>(
        std::count_if(g_objects.begin(), g_objects.end(),
                      [&](const auto& entry) { return running(entry.second); }) +
        std::count_if(g_orphans.begin(), g_orphans.end(), running));
}

void JoinAllThreads() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(g_mutex);
        auto claim = [&](KernelObject& o) {
            if (&o != t_self) {
                RequestStopLocked(o);
                threads.push_back(ClaimLocked(o));
            }
        };
        for (auto& [id, o] : g_objects) {
            if (o->kind == Kind::Thread) {
                claim(*o);
            }
        }
        for (auto& o : g_orphans) {
            claim(*o);
        }
        std::erase_if(g_orphans, [](const ObjectPtr& o) { return o.get() != t_self; });
    }
    for (auto& t : threads) {
        Join(std::move(t));
    }
}

}  // namespace platform
