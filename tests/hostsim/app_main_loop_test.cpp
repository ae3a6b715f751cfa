// The main loop: idle hooks and their max-sleep requests, modal sessions, periodic
// menu updates, and quitting on SIGTERM with the death hooks run.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "app_fixture.h"

namespace {

using namespace apptest;
using qlo::runloop::RunLoop;

// An idle hook that asks for the sleep its refcon points at (or leaves the preset for null).
A_Err AskingIdle(AEGP_GlobalRefcon global, AEGP_IdleRefcon refcon, A_long* maxSleep) {
    EXPECT_EQ(global, GlobalTag());
    EXPECT_EQ(*maxSleep, kIdleSleepPresetMs) << "every hook sees the preset";
    Events().push_back("idle");
    if (refcon != nullptr) *maxSleep = *reinterpret_cast<A_long*>(refcon);
    return A_Err_NONE;
}

AEGP_IdleRefcon Asking(A_long& ms) {
    return reinterpret_cast<AEGP_IdleRefcon>(&ms);
}

TEST_F(HostFixture, IdleRoundsWaitAtMostTheSmallestSleepAnyHookAskedFor) {
    EXPECT_DOUBLE_EQ(app.runRound(0).nextWaitSeconds, kIdleSleepPresetMs / 1000.0);
    static A_long twenty, five;  // the hooks read them through their refcons
    std::tie(twenty, five) = std::pair(20, 5);
    for (AEGP_IdleRefcon refcon : {AEGP_IdleRefcon{}, Asking(twenty), Asking(five)}) {
        OnIdle(&AskingIdle, refcon);
    }
    RoundReport round = app.runRound(0);
    EXPECT_EQ(round.idleHooksCalled, 3);
    EXPECT_EQ(round.sleepMs, 5);
    EXPECT_DOUBLE_EQ(round.nextWaitSeconds, 0.005);

    // A request beyond the preset does not stretch the host's wait.
    std::tie(twenty, five) = std::pair(1000, 1000);
    EXPECT_EQ(app.runRound(0).sleepMs, kIdleSleepPresetMs);

    // Zero (or less) means "call again after the loop is serviced": a 1 ms wait, not a spin.
    five = -30;
    round = app.runRound(0);
    EXPECT_EQ(round.sleepMs, 0);
    EXPECT_DOUBLE_EQ(round.nextWaitSeconds, kZeroSleepWaitSeconds);
}

TEST_F(HostFixture, MenusAreUpdatedTwiceASecondFromTheLoop) {
    OnMenuUpdate([](AEGP_GlobalRefcon, AEGP_UpdateMenuRefcon, AEGP_WindowType) -> A_Err {
        Events().push_back("update");
        return A_Err_NONE;
    });
    RunLoop::main().useManualClock(true);
    RunLoop::main().advance(kMenuUpdateInterval * 4);
    EXPECT_EQ(Events().size(), 4u);
    RunLoop::main().useManualClock(false);
}

TEST_F(HostFixture, AModalSessionRunsOnlyModalWorkAndNoIdleHooks) {
    OnIdle(&AskingIdle);
    int modalFired = 0, defaultFired = 0;
    RunLoop::main().addTimer(0.001, false, [&](qlo::runloop::Timer&) { ++modalFired; },
                             {qlo::runloop::Mode::ModalPanel});
    RunLoop::main().addTimer(0.001, false, [&](qlo::runloop::Timer&) { ++defaultFired; });

    int rounds = 0;
    app.runModal([&]() {
        EXPECT_EQ(app.mode(), qlo::runloop::Mode::ModalPanel);
        return modalFired > 0 || ++rounds > 100000;
    });
    EXPECT_EQ(std::pair(modalFired, defaultFired), std::pair(1, 0));
    EXPECT_TRUE(Events().empty()) << "idle hooks wait while a modal dialog is up";
    EXPECT_EQ(app.mode(), qlo::runloop::Mode::Default);

    while (defaultFired == 0 && ++rounds < 100000) app.runRound(0.05);
    EXPECT_EQ(defaultFired, 1);
    EXPECT_FALSE(Events().empty());
}

std::atomic<bool> g_loopStarted{false};

A_Err StartedIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) {
    g_loopStarted.store(true);
    return A_Err_NONE;
}

// SIGINT takes the same path as SIGTERM.
TEST_F(HostFixture, SigtermFromAnotherThreadWakesTheWaitingLoopAndRunsTheDeathHooksOnce) {
    g_loopStarted = false;
    OnDeath(&NotingDeath, Note<AEGP_DeathRefcon>("death"));
    // The idle hook leaves the preset wait, so the loop mostly sleeps when the signal comes.
    OnIdle(&StartedIdle);
    app.watchQuitSignals();
    std::thread sender([]() {
        while (!g_loopStarted.load()) std::this_thread::yield();
        kill(getpid(), SIGTERM);
    });
    EXPECT_EQ(app.run(), 0);
    sender.join();
    EXPECT_EQ(Events(), std::vector<std::string>{"death"});
    EXPECT_TRUE(app.plugins().names().empty());
}

}  // namespace
