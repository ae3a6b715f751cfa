// Dispatch queues: a serial queue's order and thread, sync from inside a queue (allowed from
// another queue, fatal on its own serial queue), destruction waiting for the work (also from
// the queue's own task), a concurrent queue's parallelism and its limit, and blocks sent to the
// main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <set>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/runloop.h"
#include "support/test_support.h"

using namespace qlo::dispatch;
using qlo::runloop::Mode;
using qlo::runloop::RunLoop;

namespace {

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
    std::vector<int> seen, expected(1000);
    std::iota(expected.begin(), expected.end(), 0);
    q->sync([&] { seen = order; });  // runs after every task queued before it
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    EXPECT_TRUE(allCurrent);
    int value = 0;
    CreateSerial("com.quillo.test.other")->sync([&] { q->sync([&] { value = 43; }); });  // from another queue
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

// Destroying a queue waits for its queued and running tasks; when the last reference dies inside
// a task, a task queued behind it still runs (on the detached worker).
TEST(Queues, DestructionWaitsForTheWorkAlsoFromTheQueuesOwnTask) {
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "concurrent");
        std::atomic<int> done{0};
        {
            auto q = serial ? CreateSerial("com.quillo.test.destroy") : CreateConcurrent("com.quillo.test.cdestroy", 3);
            for (int i = 0; i < 9; ++i)
                q->async([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    ++done;
                });
        }
        EXPECT_EQ(done, 9);

        auto q = serial ? CreateSerial("com.quillo.test.selfdestroy") : CreateConcurrent("com.quillo.test.cself", 1);
        auto holder = std::make_shared<QueuePtr>(q);
        std::atomic<bool> go{false}, last{false};
        q->async([&go, holder] {
            qlotest::WaitUntil([&] { return go.load(); });
            holder->reset();
        });
        q->async([&] { last = true; });
        q.reset();
        go = true;
        EXPECT_TRUE(qlotest::WaitUntil([&] { return last.load(); }));
    }
}

TEST(ConcurrentQueue, TasksRunInParallelButAtMostMaxThreadsAtOnce) {
    // Two tasks that each wait for the other: both complete only if they run at the same time.
    std::atomic<int> arrived{0}, completed{0};
    auto meet = [&] {
        ++arrived;
        if (qlotest::WaitUntil([&] { return arrived == 2; })) ++completed;
    };
    auto q = CreateConcurrent("com.quillo.test.concurrent", 4);
    q->async(meet);
    q->async(meet);
    q.reset();  // waits for both
    EXPECT_EQ(completed, 2);
    std::atomic<int> running{0}, peak{0}, done{0};
    q = CreateConcurrent("com.quillo.test.limit", 2);
    for (int i = 0; i < 8; ++i)
        q->async([&] {
            const int now = ++running;
            for (int p = peak.load(); now > p && !peak.compare_exchange_weak(p, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            --running;
            ++done;
        });
    q.reset();
    EXPECT_EQ(done, 8);
    EXPECT_LE(peak, 2);
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
    std::atomic<bool> inTask{false};
    q->async([&inTask, queue = q.get()] { inTask = queue->isCurrent(); });
    q.reset();  // waits for the task
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
