// Start and stop of the services that run while the panel is shown. Start creates only what is
// missing, so a service whose start failed is tried again at the next start; stop and death
// tear down in a fixed order, each object stopped before it is destroyed. Each service joins
// these sequences where its slot stands below.
#include "host/plugin.h"
#include "platform/log.h"
#include "platform/runloop.h"

using qlo::log::Log;

MJPEGServer* g_server = nullptr;
MotionReceiver* g_motion = nullptr;
qlo::runloop::TimerPtr g_goToTimeGuard;

namespace {

void InvalidateGuard() {
    if (g_goToTimeGuard) {
        g_goToTimeGuard->invalidate();
        g_goToTimeGuard.reset();
    }
}

}  // namespace

MJPEGServer* QLOServer() {
    return g_server;
}

void QLOStartServices() {
    Log("[Quillo] Starting services");
    // Order: HTTP/MJPEG server (which also publishes the announcement), motion receiver (whose
    // port is then handed to the server), dialog guard.
}

void QLOStopServices() {
    Log("[Quillo] Stopping services");
    // Order: dialog guard, motion receiver, server.
    InvalidateGuard();
}

void QLOTearDownServices() {
    // Order: dialog guard, panel controller, motion receiver, server.
    InvalidateGuard();
}
