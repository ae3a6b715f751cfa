#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/runloop.h"

using namespace qlo::runloop;

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
    // Seconds since the test started, rounded to milliseconds (manual clock: exact steps).
    double elapsed() const { return std::round((loop.now() - start) * 1000.0) / 1000.0; }

    // Runs the loop until `done` or a generous real-time limit.
    template <class Pred>
    bool runUntil(Pred done, double limitSeconds = 10.0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            loop.runOnce(Mode::Default, 0.05);
        }
        return true;
    }

    double start = 0;
};

TEST_F(RunLoopTest, ManualClockIsFrozenUntilAdvanced) {
    double t = loop.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(loop.now(), t);
    loop.advance(2.5);
    EXPECT_DOUBLE_EQ(loop.now(), t + 2.5);
}

TEST_F(RunLoopTest, TimersFireOnlyInTheirModes) {
    int def = 0, modal = 0, both = 0;
    auto tDef = loop.addTimer(1.0, true, [&](Timer&) { ++def; });  // Default is the default
    auto tModal = loop.addTimer(1.0, true, [&](Timer&) { ++modal; }, {Mode::ModalPanel});
    auto tBoth = loop.addTimer(1.0, true, [&](Timer&) { ++both; }, {Mode::Default, Mode::ModalPanel});

    loop.advance(1.0, Mode::Default);
    EXPECT_EQ(def, 1);
    EXPECT_EQ(modal, 0);
    EXPECT_EQ(both, 1);

    loop.advance(1.0, Mode::ModalPanel);  // to t=2: the modal timer fires at 1 (late) and 2
    EXPECT_EQ(def, 1);
    EXPECT_EQ(modal, 2);
    EXPECT_EQ(both, 2);

    // runOnce honours the modes as well.
    loop.advance(1.0, Mode::ModalPanel);  // t=3
    EXPECT_EQ(modal, 3);
    EXPECT_EQ(both, 3);
    EXPECT_EQ(def, 1);
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);  // the Default timer, due since 2: fires once
    EXPECT_EQ(def, 2);
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 0);  // nothing due in ModalPanel at t=3
    EXPECT_EQ(modal, 3);

    EXPECT_DOUBLE_EQ(loop.secondsUntilNextTimer(Mode::Default), 1.0);
    tModal->invalidate();
    tBoth->invalidate();
    EXPECT_EQ(loop.secondsUntilNextTimer(Mode::ModalPanel), kNoTimer);
    tDef->invalidate();
    EXPECT_EQ(loop.secondsUntilNextTimer(Mode::Default), kNoTimer);
}

TEST_F(RunLoopTest, RepeatingAndOneShot) {
    int rep = 0, once = 0;
    auto tRep = loop.addTimer(0.5, true, [&](Timer&) { ++rep; });
    auto tOnce = loop.addTimer(0.5, false, [&](Timer&) { ++once; });
    EXPECT_DOUBLE_EQ(tRep->interval(), 0.5);
    loop.advance(1.6);
    EXPECT_EQ(rep, 3);  // 0.5, 1.0, 1.5
    EXPECT_EQ(once, 1);
    EXPECT_TRUE(tRep->isValid());
    EXPECT_FALSE(tOnce->isValid());  // a one-shot timer invalidates itself after firing
    loop.advance(0.4);               // t=2.0
    EXPECT_EQ(rep, 4);
    EXPECT_EQ(once, 1);
    EXPECT_NEAR(loop.secondsUntilNextTimer(Mode::Default), 0.5, 1e-9);
}

TEST_F(RunLoopTest, AdvanceFiresInTimeOrder) {
    std::vector<std::string> log;
    auto a = loop.addTimer(0.3, true, [&](Timer&) { log.push_back("a@" + std::to_string(elapsed())); });
    auto b = loop.addTimer(0.5, true, [&](Timer&) { log.push_back("b@" + std::to_string(elapsed())); });
    auto c = loop.addTimer(0.4, false, [&](Timer&) { log.push_back("c@" + std::to_string(elapsed())); });
    loop.postAfter(0.45, [&] { log.push_back("block@" + std::to_string(elapsed())); });
    loop.advance(1.0);
    std::vector<std::string> expected;
    for (auto s : {"a@0.3", "c@0.4", "block@0.45", "b@0.5", "a@0.6", "a@0.9", "b@1.0"}) {
        std::string name = s;
        auto at = name.find('@');
        expected.push_back(name.substr(0, at + 1) + std::to_string(std::stod(name.substr(at + 1))));
    }
    EXPECT_EQ(log, expected);
    EXPECT_DOUBLE_EQ(elapsed(), 1.0);
}

TEST_F(RunLoopTest, LateRepeatingTimerDoesNotPileUp) {
    int fired = 0;
    auto t = loop.addTimer(0.5, true, [&](Timer&) { ++fired; });
    // Time passes while the loop runs in another mode (the timer cannot fire meanwhile).
    loop.advance(2.2, Mode::ModalPanel);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(loop.secondsUntilNextTimer(Mode::Default), 0);
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);
    EXPECT_EQ(fired, 1);  // once, not four times
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);
    // It keeps its phase: next at 2.5.
    EXPECT_NEAR(loop.secondsUntilNextTimer(Mode::Default), 0.3, 1e-9);
}

TEST_F(RunLoopTest, InvalidateInsideCallback) {
    int fired = 0;
    auto token = std::make_shared<int>(0);
    TimerPtr self;
    self = loop.addTimer(0.1, true, [&fired, token](Timer& t) {
        if (++fired == 3) t.invalidate();
    });
    loop.advance(1.0);
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(self->isValid());
    EXPECT_EQ(token.use_count(), 1);  // the callback (and its captures) was dropped
}

TEST_F(RunLoopTest, CallbackHoldingItsOwnTimerDoesNotLeak) {
    int fired = 0;
    auto token = std::make_shared<int>(0);
    auto holder = std::make_shared<TimerPtr>();
    *holder = loop.addTimer(0.1, true, [holder, token, &fired](Timer&) {
        if (++fired == 2) (*holder)->invalidate();
    });
    std::weak_ptr<Timer> weak = *holder;
    loop.advance(1.0);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(token.use_count(), 1);
    holder.reset();
    EXPECT_TRUE(weak.expired());  // no cycle left behind
}

TEST_F(RunLoopTest, InvalidateFromElsewhere) {
    int a = 0, b = 0;
    TimerPtr tb;
    auto ta = loop.addTimer(1.0, false, [&](Timer&) {
        ++a;
        tb->invalidate();  // due at the same time, after this one
    });
    tb = loop.addTimer(1.0, false, [&](Timer&) { ++b; });
    loop.advance(1.0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);

    int c = 0;
    auto tc = loop.addTimer(0.5, true, [&](Timer&) { ++c; });
    std::thread([&] { tc->invalidate(); }).join();
    EXPECT_FALSE(tc->isValid());
    loop.advance(2.0);
    EXPECT_EQ(c, 0);
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
            added.push_back(loop.addTimer(0.1 * (i + 1), false, [&, i](Timer&) {
                log.push_back("added" + std::to_string(i));
            }));
        loop.post([&] { log.push_back("posted"); });
    });
    loop.advance(1.0);  // first@0.5, added0..4 @0.6..1.0
    EXPECT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], "first");
    EXPECT_EQ(log[5], "added4");
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);  // the posted block
    EXPECT_EQ(log.back(), "posted");
    loop.advance(2.0);
    EXPECT_EQ(log.back(), "added19");
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string("victim")), 0);
}

TEST_F(RunLoopTest, PostRunsInOrderInEveryMode) {
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) loop.post([&, i] { order.push_back(i); });
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 0), 5);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    // A block posted by a block runs in the next pass.
    loop.post([&] {
        order.push_back(5);
        loop.post([&] { order.push_back(6); });
    });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);
    EXPECT_EQ(order.size(), 6u);
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 1);
    EXPECT_EQ(order.back(), 6);
}

TEST_F(RunLoopTest, PostFromOtherThreadsArrivesInOrderOnMainThread) {
    constexpr int kThreads = 4, kBlocks = 500;
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
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), size_t(kBlocks));
        for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(seen[t][i], i);
    }
}

TEST_F(RunLoopTest, IsMainThreadFollowsBinding) {
    EXPECT_TRUE(loop.isMainThread());
    bool other = true;
    std::thread([&] { other = loop.isMainThread(); }).join();
    EXPECT_FALSE(other);
}

TEST_F(RunLoopTest, PostAfterIsOrderedByDueTime) {
    std::vector<std::string> order;
    loop.postAfter(0.3, [&] { order.push_back("c"); });
    loop.postAfter(0.1, [&] { order.push_back("a"); });
    loop.postAfter(0.2, [&] { order.push_back("b"); });
    loop.postAfter(0.1, [&] { order.push_back("a2"); });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);  // nothing due yet
    loop.advance(0.15);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a2"}));
    loop.advance(0.5, Mode::ModalPanel);  // blocks run in every mode
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a2", "b", "c"}));
}

TEST_F(RunLoopTest, PostAfterDueBlocksRunFromRunOnce) {
    std::vector<std::string> order;
    loop.postAfter(0.02, [&] { order.push_back("late"); });
    loop.postAfter(0.01, [&] { order.push_back("early"); });
    // With the real clock, runOnce runs them when they fall due, in due order.
    loop.useManualClock(false);
    ASSERT_TRUE(runUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
}

TEST_F(RunLoopTest, RealClockTimerWakesRunOnce) {
    loop.useManualClock(false);
    int fired = 0;
    auto t = loop.addTimer(0.02, false, [&](Timer&) { ++fired; });
    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(runUntil([&] { return fired == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(19));
    // A wait with nothing scheduled returns after maxWait.
    begin = std::chrono::steady_clock::now();
    EXPECT_EQ(loop.runOnce(Mode::Default, 0.02), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(19));
}

TEST_F(RunLoopTest, RunOnceWakesOnPostFromAnotherThread) {
    // With the manual clock the loop waits only for blocks and descriptors.
    std::atomic<bool> ran{false};
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        loop.post([&] { ran = true; });
    });
    auto begin = std::chrono::steady_clock::now();
    int n = loop.runOnce(Mode::Default, 30.0);
    auto took = std::chrono::steady_clock::now() - begin;
    poster.join();
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(ran);
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(RunLoopTest, RunOnceWaitsTheWholeTimeWhenNothingRuns) {
    // Adding a timer wakes the loop internally; that must not end the wait early.
    auto t = loop.addTimer(5.0, false, [](Timer&) {});
    std::thread adder([&] { loop.addTimer(5.0, false, [](Timer&) {}); });
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(loop.runOnce(Mode::Default, 0.03), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(29));
    adder.join();
}

TEST_F(RunLoopTest, WakeUpInterruptsWait) {
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.wakeUp();
    });
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(loop.runOnce(Mode::Default, 30.0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    waker.join();
}

TEST_F(RunLoopTest, WatchFdOnAPipe) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    std::string got;
    bool onMain = false;
    int id = loop.watchFd(fds[0], [&] {
        onMain = loop.isMainThread();
        char buf[64];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) got.append(buf, size_t(n));
    });
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);  // nothing to read

    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(write(fds[1], "hello", 5), 5);
    });
    EXPECT_EQ(loop.runOnce(Mode::ModalPanel, 30.0), 1);  // watches work in every mode
    writer.join();
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
        // The modal panel's loop: time passes in ModalPanel mode.
        loop.advance(0.35, Mode::ModalPanel);
        loop.runOnce(Mode::ModalPanel, 0);
        log.push_back("close");
    });
    loop.advance(1.0);
    EXPECT_EQ(defaultFired, 1);  // the opener does not fire again inside its own modal loop
    // modal timer: due at 0.1 when the panel opens at 1.0, fires late once, then 1.1, 1.2, 1.3.
    EXPECT_EQ(log, (std::vector<std::string>{"open", "modal", "modal", "modal", "modal", "block",
                                             "close"}));
    modalTick->invalidate();
    opener->invalidate();
}

TEST_F(RunLoopTest, ResetDropsEverything) {
    int fired = 0;
    auto t = loop.addTimer(0.1, true, [&](Timer&) { ++fired; });
    loop.post([&] { ++fired; });
    loop.postAfter(0.1, [&] { ++fired; });
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    loop.watchFd(fds[0], [&] { ++fired; });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop.reset();
    EXPECT_FALSE(t->isValid());
    loop.advance(1.0);
    EXPECT_EQ(loop.runOnce(Mode::Default, 0), 0);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(loop.secondsUntilNextTimer(Mode::Default), kNoTimer);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(RunLoopTest, ManualClockOffContinuesFromManualTime) {
    loop.advance(100.0);
    double t = loop.now();
    loop.useManualClock(false);
    EXPECT_GE(loop.now(), t);
    EXPECT_LT(loop.now(), t + 10.0);
}

TEST_F(RunLoopTest, TimersAddedFromOtherThreads) {
    std::atomic<int> fired{0};
    std::vector<TimerPtr> timers(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            timers[size_t(i)] = loop.addTimer(0.5, false, [&](Timer&) { ++fired; });
            loop.post([&] { ++fired; });
        });
    for (auto& th : threads) th.join();
    loop.advance(0.5);
    loop.runOnce(Mode::Default, 0);
    EXPECT_EQ(fired, 8);
}

}  // namespace
