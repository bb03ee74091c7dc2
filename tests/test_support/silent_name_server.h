#pragma once

// A name server that never answers: every lookup of a name blocks until the test lets go, as one
// on an unreachable network does. Installed for its lifetime; letting go on the way out lets the
// lookup threads left behind finish before the test program ends.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/net.h"

namespace test_support {

class SilentNameServer {
public:
    SilentNameServer() {
        platform::SetNameResolver([state = m_state](const std::string&) {
            std::unique_lock lock(state->mutex);
            ++state->asked;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->released; });
            return std::optional<in_addr_t>{};
        });
    }
    ~SilentNameServer() {
        platform::SetNameResolver({});
        std::lock_guard lock(m_state->mutex);
        m_state->released = true;
        m_state->changed.notify_all();
    }
    SilentNameServer(const SilentNameServer&) = delete;
    SilentNameServer& operator=(const SilentNameServer&) = delete;

    // Waits until `count` lookups have reached the server.
    void WaitForLookups(int count) {
        std::unique_lock lock(m_state->mutex);
        m_state->changed.wait(lock, [&] { return m_state->asked >= count; });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        int asked = 0;
        bool released = false;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

}  // namespace test_support
