// The plug-in frame: the entry point the host calls once, the host callbacks, the panel
// callbacks, and the start and stop of the services that run while the panel is shown.
// Everything here runs on the host's main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "base/plugin_state.h"
#include "sdk/AE_SDK.h"

class QLOPanelController;

extern "C" {
// The one exported symbol of libquillo.
__attribute__((visibility("default"))) A_Err EntryPointFunc(SPBasicSuite* pica_basicP,
                                                            A_long major_versionL,
                                                            A_long minor_versionL,
                                                            AEGP_PluginID aegp_plugin_id,
                                                            AEGP_GlobalRefcon* global_refconP);
}

// Host callbacks.
A_Err CommandHook(AEGP_GlobalRefcon plugin_refconP, AEGP_CommandRefcon refconP,
                  AEGP_Command command, AEGP_HookPriority hook_priority,
                  A_Boolean already_handledB, A_Boolean* handledPB);
A_Err UpdateMenuHook(AEGP_GlobalRefcon plugin_refconP, AEGP_UpdateMenuRefcon refconP,
                     AEGP_WindowType active_window);
A_Err DeathHook(AEGP_GlobalRefcon plugin_refconP, AEGP_DeathRefcon refconP);
A_Err IdleHook(AEGP_GlobalRefcon plugin_refconP, AEGP_IdleRefcon refconP, A_long* max_sleepPL);
A_Err CreatePanelHook(AEGP_GlobalRefcon plugin_refconP, AEGP_CreatePanelRefcon refconP,
                      AEGP_PlatformViewRef container, AEGP_PanelH panelH,
                      AEGP_PanelFunctions1* outFunctionTable, AEGP_PanelRefcon* outRefcon);

// Panel callbacks.
A_Err QLOGetSnapSizes(AEGP_PanelRefcon refcon, A_LPoint* snapSizes, A_long* numSizesPL);
A_Err QLOPopulateFlyout(AEGP_PanelRefcon refcon, AEGP_FlyoutMenuItem* itemsP,
                        A_long* in_out_numItemsPL);
A_Err QLODoFlyoutCommand(AEGP_PanelRefcon refcon, AEGP_FlyoutMenuCmdID commandID);

// Services: start creates only what is missing; stop tears down in reverse order.
void QLOStartServices();
void QLOStopServices();
// Death: guard, panel controller, motion receiver and server, in that order.
void QLOTearDownServices();

// The panel's match name, title and menu text.
inline constexpr const char* kQLOPanelName = "Quillo";
// The ports phones reach: HTTP/MJPEG over TCP, motion datagrams over UDP.
inline constexpr uint16_t kQLOServerPort = 8254;
inline constexpr uint16_t kQLOMotionPort = 8255;
// The ports the next start binds (kQLOServerPort and kQLOMotionPort unless changed). In-process
// tests pass 0, so that each start binds free ports and tests never compete for the fixed ones.
void QLOSetServicePorts(uint16_t serverPort, uint16_t motionPort);

// Process-wide state of the frame, one instance while the plug-in is loaded (what every layer
// shares is in base/plugin_state.h).
extern AEGP_Command g_menuCommand;
extern const AEGP_WorkspacePanelSuite1* g_panelSuite;  // held for the plug-in's life
extern std::shared_ptr<QLOPanelController> g_panelController;  // the panel, while created
extern bool g_panelWasShown;
