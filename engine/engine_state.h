// Process-wide state of the idle engine. All of it starts at zero, false or null when the
// plug-in loads and is touched only on the host's main thread.
#pragma once

#include <cstdint>
#include <functional>

#include "base/plugin_state.h"  // g_cameraListTick, reset here with the rest
#include "sdk/AE_SDK.h"

// Idle calls so far; counted at the start of every call.
extern A_long g_idleTickCount;
// Camera-list checks so far; set back to 0 to make the next check refresh.
extern A_long s_camRefreshTick;
// A work pass has run at least once.
extern bool g_firstIdle;
// Steady-clock reading (nanoseconds) at the start of the last work pass.
extern int64_t g_lastCaptureTime;
// Thins out the timeline logs: one in 300 stage passes.
extern A_long g_tlLogCounter;
// The last composition the timeline stage found.
extern AEGP_CompH g_lastValidCompH;

// Back to the state at load: every counter at zero, no work pass yet, no composition known.
void ResetEngineState();

// Gives the counter's value and advances it by one. Past the largest value it wraps to the
// most negative one (as the host's 32-bit counters do) instead of overflowing: a host calls the
// idle hook thousands of times a second, so a per-call counter reaches the limit within days.
inline A_long TakeAndAdvance(A_long& counter) {
    const A_long taken = counter;
    counter = static_cast<A_long>(static_cast<uint32_t>(taken) + 1u);
    return taken;
}

// Work passes run at most once per this many nanoseconds of the idle clock.
inline constexpr int64_t kWorkIntervalNs = 16'000'000;

// The clock of the work throttle, in nanoseconds: the steady clock unless replaced. Tests
// install their own to drive time; an empty function restores the steady clock.
using IdleClock = std::function<int64_t()>;
void SetIdleClock(IdleClock clock);
int64_t IdleClockNanos();
