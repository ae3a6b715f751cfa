#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/runloop.h"

using namespace qlo::dispatch;
using qlo::runloop::Mode;
using qlo::runloop::RunLoop;

namespace {

// A one-shot event with a generous timeout, so that a bug fails a test instead of hanging it.
class Event {
public:
    void set() {
        std::lock_guard<std::mutex> lock(m_);
        set_ = true;
        cv_.notify_all();
    }
    bool wait() {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return set_; });
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool set_ = false;
};

TEST(SerialQueue, RunsTasksInOrderOnOneThreadAndSyncWaitsForThem) {
    auto q = CreateSerial("com.quillo.test.serial");
    EXPECT_FALSE(q->isCurrent());
    std::vector<int> order;  // touched only by the queue's tasks
    std::set<std::thread::id> threads;
    bool allCurrent = true;
    for (int i = 0; i < 1000; ++i)
        q->async([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            allCurrent = allCurrent && q->isCurrent();
        });
    std::vector<int> seen;
    q->sync([&] { seen = order; });  // runs after every task queued before it
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[size_t(i)], i);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    EXPECT_TRUE(allCurrent);
    // sync from another queue's task is fine.
    int value = 0;
    CreateSerial("com.quillo.test.other")->sync([&] { q->sync([&] { value = 43; }); });
    EXPECT_EQ(value, 43);
}

TEST(SerialQueueDeathTest, SyncFromItsOwnTaskAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto q = CreateSerial("com.quillo.test.self");
            q->sync([&] { q->sync([] {}); });
        },
        "sync on serial queue 'com.quillo.test.self' from a task of that same queue");
}

TEST(Queues, DestructionWaitsForQueuedAndRunningTasks) {
    for (bool serial : {true, false}) {
        std::atomic<int> done{0};
        {
            auto q = serial ? CreateSerial("com.quillo.test.destroy") : CreateConcurrent("com.quillo.test.cdestroy", 3);
            for (int i = 0; i < 9; ++i)
                q->async([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    ++done;
                });
        }
        EXPECT_EQ(done, 9) << (serial ? "serial" : "concurrent");
    }
}

TEST(Queues, DestroyedFromItsOwnTask) {
    // The last reference dies inside a task; a task queued behind it still runs (on the detached
    // worker, after the queue object is gone).
    for (bool serial : {true, false}) {
        auto q = serial ? CreateSerial("com.quillo.test.selfdestroy") : CreateConcurrent("com.quillo.test.cself", 1);
        auto holder = std::make_shared<QueuePtr>(q);
        Event go, last;
        q->async([&go, holder] {
            go.wait();
            holder->reset();
        });
        q->async([&] { last.set(); });
        q.reset();
        go.set();
        EXPECT_TRUE(last.wait()) << (serial ? "serial" : "concurrent");
    }
}

TEST(ConcurrentQueue, TasksRunInParallelButAtMostMaxThreadsAtOnce) {
    {
        // Two tasks that each wait for the other: both complete only if they run at the same time.
        auto q = CreateConcurrent("com.quillo.test.concurrent", 4);
        std::mutex m;
        std::condition_variable cv;
        int arrived = 0;
        std::atomic<int> completed{0};
        auto task = [&] {
            std::unique_lock<std::mutex> lock(m);
            ++arrived;
            cv.notify_all();
            if (cv.wait_for(lock, std::chrono::seconds(10), [&] { return arrived == 2; })) ++completed;
        };
        q->async(task);
        q->async(task);
        q.reset();  // waits for both
        EXPECT_EQ(completed, 2);
    }
    std::atomic<int> running{0}, peak{0}, done{0};
    std::mutex m;
    std::set<std::thread::id> threads;
    {
        auto q = CreateConcurrent("com.quillo.test.limit", 2);
        for (int i = 0; i < 8; ++i)
            q->async([&] {
                int now = ++running;
                int p = peak.load();
                while (now > p && !peak.compare_exchange_weak(p, now)) {
                }
                {
                    std::lock_guard<std::mutex> lock(m);
                    threads.insert(std::this_thread::get_id());
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --running;
                ++done;
            });
    }
    EXPECT_EQ(done, 8);
    EXPECT_LE(peak, 2);
    EXPECT_LE(threads.size(), 2u);
}

TEST(ConcurrentQueue, SyncRunsAsATaskOfTheQueue) {
    auto q = CreateConcurrent("com.quillo.test.csync", 1);
    bool current = false, nested = false;
    q->sync([&] {
        current = q->isCurrent();
        q->sync([&] { nested = q->isCurrent(); });  // no deadlock, even with one worker
    });
    EXPECT_TRUE(current);
    EXPECT_TRUE(nested);
    EXPECT_FALSE(q->isCurrent());
    Event ran;
    bool inTask = false;
    q->async([&] {
        inTask = q->isCurrent();
        ran.set();
    });
    ASSERT_TRUE(ran.wait());
    q.reset();
    EXPECT_TRUE(inTask);
}

TEST(MainQueue, BlocksFromAQueueRunOnTheMainThreadInOrder) {
    RunLoop& loop = RunLoop::main();
    loop.reset();
    loop.bindToCurrentThread();
    std::vector<int> order;
    bool onMain = true;
    CreateSerial("com.quillo.test.tomain")->sync([&] {
        for (int i = 0; i < 10; ++i)
            MainAsync([&, i] {
                order.push_back(i);
                onMain = onMain && loop.isMainThread();
            });
    });
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 10);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(onMain);
}

}  // namespace
