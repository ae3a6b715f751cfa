// Start and stop of the services that run while the panel is shown. Start creates only what is
// missing, so a service whose start failed is tried again at the next start; stop and death
// tear down in a fixed order, each object stopped before it is destroyed.
#include "engine/camera_switches.h"
#include "base/main_thread.h"
#include "engine/go_to_time_guard.h"
#include "host/plugin.h"
#include "link/motion_receiver.h"
#include "panel/panel_controller.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "rig/preview_keyframes.h"

using qlo::log::Log;

namespace {

uint16_t s_serverPort = kQLOServerPort;
uint16_t s_motionPort = kQLOMotionPort;

void StopMotionReceiver() {
    if (g_motion != nullptr) {
        g_motion->stop();
        g_motion.reset();
    }
}

void StopServer() {
    if (g_server != nullptr) {
        g_server->stop();
        g_server.reset();
    }
}

// What the phones changed in the project only to show it to themselves goes back to the user:
// live keyframes and camera switches. Whatever the host did not let go of last time is tried
// again at the next start.
void GiveBackToUser() {
    TakeAwayAllLiveKeys();
    RestoreCameraSwitches();
}

}  // namespace

void QLOSetServicePorts(uint16_t serverPort, uint16_t motionPort) {
    s_serverPort = serverPort;
    s_motionPort = motionPort;
}

void QLOStartServices() {
    QLO_MAIN_THREAD_ONLY("QLOStartServices");
    Log("[Quillo] Starting services");
    GiveBackToUser();
    if (g_server == nullptr) {
        g_server = std::make_unique<MJPEGServer>();
        // Starting the server also publishes its DNS-SD announcement.
        if (g_server->start(s_serverPort) == 0) {
            Log("[Quillo] Failed to start MJPEG server");
            g_server.reset();
        }
    }
    if (g_motion == nullptr) {
        g_motion = std::make_unique<MotionReceiver>();
        const uint16_t motionPort = g_motion->start(s_motionPort);
        if (motionPort != 0) {
            // Only a receiver started just now hands its port to the server, which announces it.
            if (g_server != nullptr) g_server->setControlPort(motionPort);
        } else {
            Log("[Quillo] Failed to start motion receiver");
            g_motion.reset();
        }
    }
    StartGoToTimeGuard();
}

void QLOStopServices() {
    QLO_MAIN_THREAD_ONLY("QLOStopServices");
    Log("[Quillo] Stopping services");
    GiveBackToUser();
    StopGoToTimeGuard();
    if (g_panelController) g_panelController->servicesStopped();
    StopMotionReceiver();
    StopServer();
}

void QLOTearDownServices() {
    QLO_MAIN_THREAD_ONLY("QLOTearDownServices");
    GiveBackToUser();
    StopGoToTimeGuard();
    if (g_panelController) {
        g_panelController->tearDown();
        g_panelController = nullptr;
    }
    StopMotionReceiver();
    StopServer();
}
