// Process-wide state that every layer of the plug-in shares, one instance while the plug-in is
// loaded: who the plug-in is to the host, the host's basic suite, and the two network services
// while they run. Only the host's main thread touches any of it.
#pragma once

#include <memory>

#include "sdk/AE_SDK.h"

class MJPEGServer;
class MotionReceiver;

extern AEGP_PluginID g_pluginID;
extern SPBasicSuite* g_basicSuite;
// The services, while the panel is shown (host/services.cpp starts and stops them). Each is
// stopped before it is destroyed; null while stopped.
extern std::unique_ptr<MJPEGServer> g_server;
extern std::unique_ptr<MotionReceiver> g_motion;

// The running server, or null while the services are stopped.
MJPEGServer* QLOServer();

// Timeline passes since the phones' composition last changed. The rig sets it back to 0 when
// the phones move to another composition; the timeline stage then forces an early refresh of
// the camera list.
extern A_long g_cameraListTick;
