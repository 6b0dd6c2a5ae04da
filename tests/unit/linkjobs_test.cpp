// The device link's job queue and thread: first in, first out; a control panel frequency
// replaces one still waiting at the tail and never jumps ahead of another kind; the thread
// runs jobs one at a time in order and tells the replaced and dropped ones.
#include "core/device/linkjobs.h"
#include "core/device/linkthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace ombrix {
namespace {

using K = LinkJobKind;

TEST(JobQueue, KeepsOrderAndLetsTheLatestFrequencyWinAtTheTail) {
    struct Case {
        std::vector<K> pushed;
        std::string left; // the kinds left, by their pushed index
        int replaced;
    };
    const Case cases[] = {
        {{K::PanelFrequency, K::PanelFrequency, K::PanelFrequency}, "2", 2},
        // A run mask between two frequencies keeps both where they were asked.
        {{K::PanelFrequency, K::RunMask, K::PanelFrequency}, "012", 0},
        {{K::RunMask, K::RunMask}, "01", 0},
        {{K::ChangeFrequency, K::ChangeFrequency}, "01", 0},
        {{K::Connect, K::PanelFrequency, K::PanelFrequency, K::Disconnect}, "023", 1},
    };
    for (const Case& c : cases) {
        JobQueue queue;
        std::string left;
        int replaced = 0;
        for (std::size_t i = 0; i < c.pushed.size(); ++i) {
            QueuedJob job{c.pushed[i], {}, {}};
            const std::string tag = std::to_string(i);
            job.run = [&left, tag] { left += tag; };
            if (queue.push(std::move(job)))
                ++replaced;
        }
        while (auto job = queue.pop())
            job->run();
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_TRUE(queue.empty());
    }
}

TEST(LinkThread, RunsOneJobAtATimeInOrderAndTellsTheOnesThatNeverRan) {
    std::mutex mutex;
    std::vector<std::string> log;
    auto note = [&](std::string s) {
        const std::lock_guard lock(mutex);
        log.push_back(std::move(s));
    };
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    auto job = [&](K kind, std::string name, bool holds = false) {
        return QueuedJob{kind,
                         [&, name, holds] {
                             overlapped = overlapped || running++ > 0;
                             if (holds)
                                 released.wait();
                             note(name);
                             --running;
                         },
                         [&, name](LinkOutcome::Status s) {
                             note(name +
                                  (s == LinkOutcome::Status::Replaced ? " replaced" : " dropped"));
                         }};
    };
    {
        LinkThread thread;
        thread.post(job(K::Connect, "connect", true)); // on the line until released
        for (int hz = 1; hz <= 30; ++hz)
            thread.post(job(K::PanelFrequency, std::string("f").append(std::to_string(hz))));
        thread.post(job(K::RunMask, "mask"));
        thread.post(job(K::PanelFrequency, "g"));
        EXPECT_TRUE(thread.busy());
        release.set_value();
        thread.waitIdle();
        EXPECT_FALSE(thread.busy());

        // At the end, what waits is dropped and what runs finishes.
        std::promise<void> second;
        released = second.get_future().share();
        thread.post(job(K::SendAll, "send", true));
        thread.post(job(K::Disconnect, "disconnect"));
        while (running == 0)
            std::this_thread::yield();
        thread.dropWaiting();
        second.set_value();
    }
    std::vector<std::string> expected;
    for (int hz = 1; hz < 30; ++hz)
        expected.push_back(std::string("f").append(std::to_string(hz)).append(" replaced"));
    expected.insert(expected.end(), {"connect", "f30", "mask", "g", "disconnect dropped", "send"});
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(overlapped);
}

} // namespace
} // namespace ombrix
