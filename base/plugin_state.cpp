#include "base/plugin_state.h"

#include "base/main_thread.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"

AEGP_PluginID g_pluginID = 0;
SPBasicSuite* g_basicSuite = nullptr;
std::unique_ptr<MJPEGServer> g_server;
std::unique_ptr<MotionReceiver> g_motion;
A_long g_cameraListTick = 0;

MJPEGServer* QLOServer() {
    QLO_MAIN_THREAD_ONLY("QLOServer");
    return g_server.get();
}
