#pragma once

// Calls handed to another thread's event loop. Every call that one thread queues for another goes
// through PostCall. Qt orders its event queue with locks the sanitizer cannot see, so on their own
// a queued call and what its poster did before look unordered; here the poster holds one mutex
// while it queues the call, and the call takes and drops the same mutex before anything of it is
// read on the receiving side. Everything the poster did before posting then happens before the
// call runs. A call that is never delivered (its receiver went first) is dropped on the
// receiver's thread; what posts to a receiver is stopped and joined before the receiver goes.

#include <QMetaObject>
#include <mutex>
#include <type_traits>
#include <utility>

namespace ui {
namespace detail {

// Held while a call is queued, taken and dropped when one is delivered: a few instructions on
// each side, and held for no longer than Qt takes to queue an event.
inline std::mutex g_queuedCallMutex;

template <class Call>
class OrderedCall {
public:
    explicit OrderedCall(Call call) : m_call(std::move(call)) {}

    void operator()() {
        { std::lock_guard lock(g_queuedCallMutex); }
        m_call();
    }

private:
    Call m_call;
};

}  // namespace detail

// Queues the call to run in the receiver's event loop; it is dropped if the receiver goes first.
// False when it could not be queued.
template <class Call>
bool PostCall(QObject* receiver, Call&& call) {
    detail::OrderedCall<std::decay_t<Call>> ordered(std::forward<Call>(call));
    std::lock_guard lock(detail::g_queuedCallMutex);
    return QMetaObject::invokeMethod(receiver, std::move(ordered), Qt::QueuedConnection);
}

}  // namespace ui
