// The main run loop: timers in their modes and in time order with delayed blocks, invalidation
// from anywhere, callbacks changing the loop, posts from other threads, the real clock and what
// wakes a wait, descriptor watches, and a nested (modal) loop.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/runloop.h"
#include "support/test_support.h"

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
    // How long one runOnce with this maximum wait took.
    std::chrono::milliseconds timedRunOnce(double maxWait, int expected) {
        const auto begin = steady_clock::now();
        EXPECT_EQ(loop.runOnce(Mode::Default, maxWait), expected);
        return std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - begin);
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
    loop.postAfter(0.45, [&] { log.push_back(at("block2")); });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);  // nothing due yet
    loop.advance(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"early@200", "a@300", "c@400", "block@450", "block2@450", "b@500",
                                             "a@600", "a@900", "b@1000"}));
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
    tc->invalidate();  // twice is harmless
}

TEST_F(RunLoopTest, CallbacksMayChangeTheLoopWhileItIterates) {
    std::vector<std::string> log;
    std::vector<TimerPtr> added;
    TimerPtr victim = loop.addTimer(1.0, true, [&](Timer&) { log.push_back("victim"); });
    auto first = loop.addTimer(0.5, false, [&](Timer&) {
        log.push_back("first");
        victim->invalidate();
        for (int i = 0; i < 20; ++i)
            added.push_back(loop.addTimer(0.1 * (i + 1), false, [&, i](Timer&) { log.push_back("added" + std::to_string(i)); }));
        loop.post([&] { log.push_back("posted"); });
    });
    loop.advance(1.0);  // first@0.5, added0..4 @0.6..1.0
    EXPECT_EQ(log, (std::vector<std::string>{"first", "added0", "added1", "added2", "added3", "added4"}));
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);  // the posted block
    loop.advance(2.0);
    EXPECT_EQ(log.size(), 22u);  // the victim never fired
    EXPECT_EQ(log.back(), "added19");
}

TEST_F(RunLoopTest, PostsAndTimersFromOtherThreadsRunInOrderOnTheMainThread) {
    constexpr int kThreads = 4, kBlocks = 500;
    std::vector<std::vector<int>> seen(kThreads);
    int total = 0;
    bool allOnMain = true;
    std::atomic<int> offMain{0}, timersFired{0};
    std::vector<TimerPtr> timers(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            if (!loop.isMainThread()) ++offMain;
            timers[size_t(t)] = loop.addTimer(0.5, false, [&](Timer&) { ++timersFired; });
            for (int i = 0; i < kBlocks; ++i)
                loop.post([&, t, i] {
                    seen[t].push_back(i);
                    ++total;
                    allOnMain = allOnMain && loop.isMainThread();
                });
        });
    ASSERT_TRUE(runUntil([&] { return total == kThreads * kBlocks; }));
    for (auto& th : threads) th.join();
    loop.advance(0.5);
    EXPECT_EQ(timersFired, kThreads);
    EXPECT_EQ(offMain, kThreads);
    EXPECT_TRUE(allOnMain);
    std::vector<int> expected(kBlocks);
    std::iota(expected.begin(), expected.end(), 0);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t], expected) << "thread " << t;
}

// With the real clock, due timers and delayed blocks end a wait; a wait with nothing due lasts
// its maximum. With the manual clock a wait ends for posts, wake-ups and descriptors only: adding
// a timer (which wakes the loop internally) does not end it.
TEST_F(RunLoopTest, WhatEndsAWait) {
    std::atomic<bool> ran{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.post([&] { ran = true; });
    });
    EXPECT_LT(timedRunOnce(30.0, 1), std::chrono::seconds(10));
    poster.join();
    EXPECT_TRUE(ran);
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.wakeUp();
    });
    EXPECT_LT(timedRunOnce(30.0, 0), std::chrono::seconds(10));
    waker.join();
    auto t = loop.addTimer(5.0, false, [](Timer&) {});
    std::thread adder([&] { loop.addTimer(5.0, false, [](Timer&) {}); });
    EXPECT_GE(timedRunOnce(0.03, 0), std::chrono::milliseconds(29));
    adder.join();

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
    EXPECT_GE(timedRunOnce(0.02, 0), std::chrono::milliseconds(19));
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

}  // namespace
