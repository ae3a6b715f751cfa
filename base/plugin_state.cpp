#include "base/plugin_state.h"

AEGP_PluginID g_pluginID = 0;
SPBasicSuite* g_basicSuite = nullptr;
MJPEGServer* g_server = nullptr;
MotionReceiver* g_motion = nullptr;
A_long g_cameraListTick = 0;

MJPEGServer* QLOServer() {
    return g_server;
}
