// The main run loop: timers in their modes and in time order with delayed blocks, invalidation
// from anywhere, callbacks changing the loop, posts from other threads, the real clock and what
// wakes a wait, descriptor watches, and a nested (modal) loop.
// Dispatch queues: a serial queue's order and thread, sync from inside another queue,
// destruction waiting for the work (also from the queue's own task), and a concurrent queue's
// parallelism.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/runloop.h"
#include "support/test_support.h"

using namespace qlo::dispatch;
using namespace qlo::runloop;
using std::chrono::steady_clock;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    RunLoop& loop = RunLoop::main();

    void SetUp() override {
        loop.reset();
        loop.bindToCurrentThread();
        loop.useManualClock(true);
        start = loop.now();
    }
    void TearDown() override {
        loop.reset();
        loop.useManualClock(false);
    }
    // "name@milliseconds since the test started" (manual clock: exact steps).
    std::string at(const char* name) const {
        return std::string(name) + "@" + std::to_string(std::lround((loop.now() - start) * 1000.0));
    }
    // Runs the loop until `done` or a generous real-time limit.
    template <class Pred>
    bool runUntil(Pred done) {
        return qlotest::WaitUntil([&] { return done() || (loop.runOnce(Mode::Default, 0.05), done()); });
    }

    double start = 0;
};

TEST_F(RunLoopTest, TimersFireOnlyInTheirModes) {
    int def = 0, modal = 0, both = 0;
    auto tDef = loop.addTimer(1.0, true, [&](Timer&) { ++def; });  // Default is the default
    auto tModal = loop.addTimer(1.0, true, [&](Timer&) { ++modal; }, {Mode::ModalPanel});
    auto tBoth = loop.addTimer(1.0, true, [&](Timer&) { ++both; }, {Mode::Default, Mode::ModalPanel});
    loop.advance(1.0, Mode::Default);
    EXPECT_EQ((std::vector<int>{def, modal, both}), (std::vector<int>{1, 0, 1}));
    loop.advance(2.0, Mode::ModalPanel);  // to t=3: the modal timer fires at 1 (late), 2 and 3
    EXPECT_EQ((std::vector<int>{def, modal, both}), (std::vector<int>{1, 3, 3}));
    // The Default timer, due since 2, fires once (a late timer does not pile up), keeping its phase.
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);
    EXPECT_EQ(def, 2);
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 0);
    EXPECT_DOUBLE_EQ(loop.secondsUntilNextTimer(Mode::Default), 1.0);
    tModal->invalidate();
    tBoth->invalidate();
    EXPECT_EQ(loop.secondsUntilNextTimer(Mode::ModalPanel), kNoTimer);
}

TEST_F(RunLoopTest, TimersAndBlocksRunInTimeOrderPostsInOrderInEveryMode) {
    std::vector<std::string> log;
    auto a = loop.addTimer(0.3, true, [&](Timer&) { log.push_back(at("a")); });
    auto b = loop.addTimer(0.5, true, [&](Timer&) { log.push_back(at("b")); });
    auto c = loop.addTimer(0.4, false, [&](Timer&) { log.push_back(at("c")); });
    loop.postAfter(0.45, [&] { log.push_back(at("block")); });
    loop.postAfter(0.2, [&] { log.push_back(at("early")); });
    MainAfter(0.45, [&] { log.push_back(at("block2")); });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);  // nothing due yet
    loop.advance(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"early@200", "a@300", "c@400", "block@450", "block2@450",
                                             "b@500", "a@600", "a@900", "b@1000"}));
    EXPECT_TRUE(a->isValid());
    EXPECT_FALSE(c->isValid());  // a one-shot timer invalidates itself after firing
    EXPECT_NEAR(loop.secondsUntilNextTimer(Mode::Default), 0.2, 1e-9);

    std::vector<int> order;
    for (int i = 0; i < 3; ++i) loop.post([&, i] { order.push_back(i); });
    loop.post([&] { loop.post([&] { order.push_back(4); }); });  // waits for the next pass
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 4);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);
    EXPECT_EQ(order.back(), 4);
}

TEST_F(RunLoopTest, InvalidationFromItsOwnCallbackAnotherOrAnotherThread) {
    int fired = 0, a = 0, b = 0, c = 0;
    auto token = std::make_shared<int>(0);
    auto holder = std::make_shared<TimerPtr>();
    *holder = loop.addTimer(0.1, true, [holder, token, &fired](Timer&) {
        if (++fired == 2) (*holder)->invalidate();
    });
    std::weak_ptr<Timer> weak = *holder;
    TimerPtr tb;
    auto ta = loop.addTimer(1.0, false, [&](Timer&) { ++a, tb->invalidate(); });  // tb is due just after
    tb = loop.addTimer(1.0, false, [&](Timer&) { ++b; });
    auto tc = loop.addTimer(0.5, true, [&](Timer&) { ++c; });
    std::thread([&] { tc->invalidate(); }).join();
    loop.advance(2.0);
    EXPECT_EQ((std::vector<int>{fired, a, b, c}), (std::vector<int>{2, 1, 0, 0}));
    EXPECT_EQ(token.use_count(), 1) << "the callback (and its captures) was dropped";
    holder.reset();
    EXPECT_TRUE(weak.expired()) << "no cycle left behind";
}

TEST_F(RunLoopTest, CallbacksMayChangeTheLoopWhileItIterates) {
    std::vector<std::string> log;
    std::vector<TimerPtr> added;
    auto first = loop.addTimer(0.5, false, [&](Timer&) {
        log.push_back(at("first"));
        for (int i = 1; i <= 3; ++i)
            added.push_back(loop.addTimer(0.2 * i, false, [&](Timer&) { log.push_back(at("added")); }));
        loop.post([&] { log.push_back("posted"); });
    });
    loop.advance(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"first@500", "added@700", "added@900"}));
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);  // the posted block
    loop.advance(1.0);
    EXPECT_EQ(log.back(), "added@1100");
}

TEST_F(RunLoopTest, PostsFromOtherThreadsRunInOrderOnTheMainThread) {
    constexpr int kThreads = 3, kBlocks = 300;
    std::vector<std::vector<int>> seen(kThreads);
    int total = 0;
    bool allOnMain = true;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kBlocks; ++i)
                loop.post([&, t, i] {
                    seen[t].push_back(i);
                    ++total;
                    allOnMain = allOnMain && loop.isMainThread();
                });
        });
    ASSERT_TRUE(runUntil([&] { return total == kThreads * kBlocks; }));
    for (auto& th : threads) th.join();
    EXPECT_TRUE(allOnMain);
    std::vector<int> expected(kBlocks);
    std::iota(expected.begin(), expected.end(), 0);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t], expected) << "thread " << t;
}

// A post or a wake-up from another thread ends an idle wait at once (well before its 30 s
// maximum). With the real clock, due delayed blocks and timers end a wait and run in time order.
TEST_F(RunLoopTest, PostsAndWakeUpsEndAWaitAndTheRealClockRunsWhatIsDue) {
    for (bool post : {true, false}) {
        std::atomic<bool> ran{false};
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (post) loop.post([&] { ran = true; });
            else loop.wakeUp();
        });
        const auto begin = steady_clock::now();
        EXPECT_EQ(loop.runOnce(Mode::Default, 30.0), post ? 1 : 0);
        EXPECT_LT(steady_clock::now() - begin, std::chrono::seconds(10)) << post;
        other.join();
        EXPECT_EQ(ran, post);
    }

    loop.advance(100.0);
    const double manual = loop.now();
    loop.useManualClock(false);  // time runs on from where it stood
    EXPECT_GE(loop.now(), manual);
    EXPECT_LT(loop.now(), manual + 10.0);
    std::vector<std::string> order;
    loop.postAfter(0.02, [&] { order.push_back("late"); });
    loop.postAfter(0.01, [&] { order.push_back("early"); });
    auto timer = loop.addTimer(0.02, false, [&](Timer&) { order.push_back("timer"); });
    ASSERT_TRUE(runUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"early", "late", "timer"}));
}

TEST_F(RunLoopTest, WatchFdOnAPipe) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    std::string got;
    bool onMain = false;
    int id = loop.watchFd(fds[0], [&] {
        onMain = loop.isMainThread();
        char buf[64];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, size_t(n));
    });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);  // nothing to read
    ASSERT_EQ(write(fds[1], "hello", 5), 5);
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 1);  // watches work in every mode
    EXPECT_EQ(got, "hello");
    EXPECT_TRUE(onMain);
    loop.unwatchFd(id);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_EQ(loop.runOnce(Mode::Default, 0.01), 0);
    EXPECT_EQ(got, "hello");
    close(fds[0]);
    close(fds[1]);
}

TEST_F(RunLoopTest, NestedLoopLikeAModalPanel) {
    std::vector<std::string> log;
    auto modalTick = loop.addTimer(0.1, true, [&](Timer&) { log.push_back("modal"); }, {Mode::ModalPanel});
    int defaultFired = 0;
    auto opener = loop.addTimer(1.0, true, [&](Timer&) {
        ++defaultFired;
        log.push_back("open");
        loop.post([&] { log.push_back("block"); });
        loop.advance(0.35, Mode::ModalPanel);  // the modal panel's loop: time passes in ModalPanel mode
        loop.runOnce(Mode::ModalPanel, 0);
        log.push_back("close");
    });
    loop.advance(1.0);
    EXPECT_EQ(defaultFired, 1);  // the opener does not fire again inside its own modal loop
    // modal timer: due at 0.1 when the panel opens at 1.0, fires late once, then 1.1, 1.2, 1.3.
    EXPECT_EQ(log, (std::vector<std::string>{"open", "modal", "modal", "modal", "modal", "block", "close"}));
}

TEST(SerialQueue, RunsTasksInOrderOnOneThreadAndSyncWaitsForThem) {
    auto q = CreateSerial("com.quillo.test.serial");
    std::vector<int> order;  // touched only by the queue's tasks
    std::set<std::thread::id> threads;
    for (int i = 0; i < 1000; ++i)
        q->async([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
        });
    std::vector<int> seen, expected(1000);
    std::iota(expected.begin(), expected.end(), 0);
    q->sync([&] { seen = order; });  // runs after every task queued before it
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    int value = 0;
    CreateSerial("com.quillo.test.other")->sync([&] { q->sync([&] { value = 43; }); });  // from another queue
    EXPECT_EQ(value, 43);
}

// Destroying a queue waits for its queued and running tasks; when the last reference dies inside
// a task, a task queued behind it still runs (on the detached worker).
TEST(Queues, DestructionWaitsForTheWorkAlsoFromTheQueuesOwnTask) {
    for (bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "concurrent");
        std::atomic<int> done{0};
        {
            auto q = serial ? CreateSerial("com.quillo.test.destroy")
                            : CreateConcurrent("com.quillo.test.cdestroy", 3);
            for (int i = 0; i < 9; ++i)
                q->async([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    ++done;
                });
        }
        EXPECT_EQ(done, 9);

        auto q = serial ? CreateSerial("com.quillo.test.selfdestroy")
                        : CreateConcurrent("com.quillo.test.cself", 1);
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

TEST(ConcurrentQueue, TasksRunInParallel) {
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
}

}  // namespace
