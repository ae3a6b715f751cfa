#include "engine/engine_state.h"

#include <chrono>
#include <utility>

#include "base/main_thread.h"

A_long g_idleTickCount = 0;
A_long s_camRefreshTick = 0;
bool g_firstIdle = false;
int64_t g_lastCaptureTime = 0;
A_long g_tlLogCounter = 0;
AEGP_CompH g_lastValidCompH = nullptr;

void ResetEngineState() {
    QLO_MAIN_THREAD_ONLY("The engine's state");
    g_idleTickCount = 0;
    s_camRefreshTick = 0;
    g_cameraListTick = 0;
    g_firstIdle = false;
    g_lastCaptureTime = 0;
    g_tlLogCounter = 0;
    g_lastValidCompH = nullptr;
}

namespace {

IdleClock& InstalledClock() {
    static IdleClock clock;
    return clock;
}

}  // namespace

void SetIdleClock(IdleClock clock) {
    InstalledClock() = std::move(clock);
}

int64_t IdleClockNanos() {
    if (const IdleClock& clock = InstalledClock()) return clock();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
