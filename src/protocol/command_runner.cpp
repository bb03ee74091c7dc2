#include "protocol/command_runner.h"

#include "platform/clock.h"
#include "platform/thread.h"

namespace {

// A cancelled command's blocking calls fail at once; this only bounds a command busy computing.
constexpr std::uint32_t kCancelWaitMs = 1'000;

}  // namespace

CommandRunner::CommandRunner(Post post)
    : m_post(std::move(post)), m_jobReady(platform::CreateEventObject(false, false)) {}

CommandRunner::~CommandRunner() {
    Cancel();
    platform::CloseObject(m_jobReady);
}

bool CommandRunner::Start(std::function<void()> work, std::function<void()> done) {
    return StartJob([work = std::move(work), done = std::move(done)]() mutable {
        work();
        return std::move(done);
    });
}

bool CommandRunner::StartJob(Job job) {
    if (m_busy.load() || !m_jobReady) {
        return false;
    }
    if (!m_thread.Get()) {
        m_thread = platform::StartThread([this] { return WorkerThread(); });
        if (!m_thread.Get()) {
            return false;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_job = std::move(job);
        m_delivery = std::make_shared<std::atomic<bool>>(true);
    }
    m_busy = true;
    platform::SetEvent(m_jobReady);
    return true;
}

void CommandRunner::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        if (m_delivery) {
            *m_delivery = false;
        }
        m_job = nullptr;
    }
    platform::StopThread(m_thread, kCancelWaitMs);
    m_busy = false;
}

std::uint32_t CommandRunner::WorkerThread() {
    while (platform::WaitForObject(m_jobReady, platform::kInfinite) == platform::kWaitObject0) {
        Job job;
        std::shared_ptr<std::atomic<bool>> delivery;
        {
            std::lock_guard lock(m_mutex);
            job = std::move(m_job);
            m_job = nullptr;
            delivery = m_delivery;
        }
        if (!job) {
            continue;
        }
        std::function<void()> finish = job();
        if (platform::StopRequested()) {
            break;
        }
        m_post([this, delivery, finish = std::move(finish)] {
            // A cancelled command's result arrives at a window that has moved on, or is gone.
            if (!delivery->load()) {
                return;
            }
            m_busy = false;
            if (finish) {
                finish();
            }
        });
    }
    return 0;
}
