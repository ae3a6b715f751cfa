// The idle hook: the plug-in's heartbeat on the host's main thread. The host calls it again and
// again; every call counts, logs a heartbeat every 30 calls, and asks to be called again
// without sleeping. The work stages run only while the server runs.
#include "host/boundary.h"
#include "host/plugin.h"
#include "platform/log.h"

namespace {

A_long s_idleTickCount = 0;

A_Err IdleTick(A_long* max_sleepPL) {
    ++s_idleTickCount;
    if (s_idleTickCount % 30 == 1) {
        qlo::log::Log("[Quillo Idle] tick=%ld running=%d clients=%d", static_cast<long>(s_idleTickCount), 0, 0);
    }
    if (max_sleepPL != nullptr) *max_sleepPL = 0;
    return A_Err_NONE;
}

}  // namespace

A_Err IdleHook(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long* max_sleepPL) {
    A_Err err = QLOCallFromHost("IdleHook", [&] { return IdleTick(max_sleepPL); });
    // The host is asked to call again without sleeping at every exit, errors included.
    if (max_sleepPL != nullptr) *max_sleepPL = 0;
    return err;
}
