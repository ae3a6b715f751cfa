// The idle hook: the plug-in's heartbeat on the host's main thread, and the only place that
// touches compositions while phones are connected. The host calls it again and again; every
// call counts and logs a heartbeat every 30 calls. While the server runs, the camera list is
// checked on every call, and the work stages (timeline, commands, capture) run at most once
// every 16 ms of the idle clock, whatever the rate of calls. The host is always asked to call
// again without sleeping.
#include "engine/engine_state.h"
#include "engine/idle_stages.h"
#include "base/boundary.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"

namespace {

bool ServerRunning() {
    return g_server != nullptr && g_server->isRunning();
}

// True when a work pass may start now; then the pass's start is recorded.
bool WorkPassDue() {
    const int64_t now = IdleClockNanos();
    if (g_firstIdle && now - g_lastCaptureTime < kWorkIntervalNs) return false;
    g_firstIdle = true;
    g_lastCaptureTime = now;
    return true;
}

void IdleTick() {
    TakeAndAdvance(g_idleTickCount);  // wraps instead of overflowing on a long-running host
    if (g_idleTickCount % 30 == 1) {
        const int running = ServerRunning() ? 1 : 0;
        const int clients = g_server != nullptr ? g_server->clientCount() : 0;
        qlo::log::Log("[Quillo Idle] tick=%ld running=%d clients=%d",
                      static_cast<long>(g_idleTickCount), running, clients);
    }
    if (g_server == nullptr) return;
    if (g_server->isRunning()) TryRefreshCameraList();
    if (!ServerRunning()) return;
    if (!WorkPassDue()) return;
    {
        AEGP_SuiteHandler suites(g_basicSuite);
        if (ServerRunning()) RunTimelineStage(suites);
    }
    RunCommandStage();
}

}  // namespace

A_Err IdleHook(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long* max_sleepPL) {
    A_Err err = QLOCallFromHost("IdleHook", [] {
        IdleTick();
        return A_Err_NONE;
    });
    // The host is asked to call again without sleeping at every exit, errors included.
    if (max_sleepPL != nullptr) *max_sleepPL = 0;
    return err;
}
