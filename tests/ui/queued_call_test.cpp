#include "ui/queued_call.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Workers fill plain, unlocked data and post calls that read it on the GUI thread. Nothing but
// the post orders the two, so under ThreadSanitizer this fails if a post does not happen before
// its call.
TEST(QueuedCall, CallSeesWhatItsPosterWroteAndRunsOnTheReceiversThread) {
    constexpr int kWorkers = 4;
    constexpr int kPostsEach = 50;
    QObject receiver;
    std::vector<std::string> written(kWorkers * kPostsEach);
    std::vector<std::string> seen(written.size());
    int arrived = 0;
    int offThread = 0;

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kPostsEach; ++i) {
                const std::size_t slot = static_cast<std::size_t>(w * kPostsEach + i);
                written[slot] = "post " + std::to_string(slot);
                auto carried = std::make_unique<std::string>(written[slot]);
                ui::PostCall(&receiver, [&, slot, carried = std::move(carried)] {
                    offThread += QThread::currentThread() != receiver.thread();
                    seen[slot] = written[slot] == *carried ? written[slot] : "mismatch";
                    ++arrived;
                });
            }
        });
    }
    while (arrived < static_cast<int>(written.size())) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(offThread, 0);
    EXPECT_EQ(seen, written);
}

}  // namespace
