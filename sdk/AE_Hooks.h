// Callbacks a plug-in registers with the host, the panel function table, and the entry point.
// The host calls all of them on its main thread.
#pragma once

#include "AE_Types.h"
#include "SPBasicSuite.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A menu command was chosen. Set *handledPB to true when the plug-in handled it. */
typedef A_Err (*AEGP_CommandHook)(AEGP_GlobalRefcon plugin_refconP, AEGP_CommandRefcon refconP,
                                  AEGP_Command command, AEGP_HookPriority hook_priority,
                                  A_Boolean already_handledB, A_Boolean* handledPB);

/* The host is about to show its menus: enable, disable and check menu commands here. */
typedef A_Err (*AEGP_UpdateMenuHook)(AEGP_GlobalRefcon plugin_refconP,
                                     AEGP_UpdateMenuRefcon refconP,
                                     AEGP_WindowType active_window);

/* The host quits or unloads the plug-in. No hook is called afterwards. */
typedef A_Err (*AEGP_DeathHook)(AEGP_GlobalRefcon plugin_refconP, AEGP_DeathRefcon refconP);

/* Called again and again from the host's main loop. *max_sleepPL is the longest time in
 * milliseconds the plug-in lets the host wait before the next call; 0 asks to be called again
 * as soon as the host has serviced its own run loop. */
typedef A_Err (*AEGP_IdleHook)(AEGP_GlobalRefcon plugin_refconP, AEGP_IdleRefcon refconP,
                               A_long* max_sleepPL);

/* The panel table a plug-in fills when its panel is created. */
typedef struct {
    A_Err (*GetSnapSizes)(AEGP_PanelRefcon refcon, A_LPoint* snapSizes, A_long* numSizesPL);
    A_Err (*PopulateFlyout)(AEGP_PanelRefcon refcon, AEGP_FlyoutMenuItem* itemsP,
                            A_long* in_out_numItemsPL);
    A_Err (*DoFlyoutCommand)(AEGP_PanelRefcon refcon, AEGP_FlyoutMenuCmdID commandID);
} AEGP_PanelFunctions1;

/* The most snap sizes a panel may report. */
enum { AEGP_MAX_PANEL_SNAP_SIZES = 8 };
/* The most flyout items a panel may report. */
enum { AEGP_MAX_FLYOUT_ITEMS = 32 };

/* The host created a panel registered with this match name and hands over its container. */
typedef A_Err (*AEGP_CreatePanelHook)(AEGP_GlobalRefcon plugin_refconP,
                                      AEGP_CreatePanelRefcon refconP,
                                      AEGP_PlatformViewRef container, AEGP_PanelH panelH,
                                      AEGP_PanelFunctions1* outFunctionTable,
                                      AEGP_PanelRefcon* outRefcon);

/* Asked by long-running render calls whether to give up; may be null. */
typedef A_Err (*AEGP_RenderSuiteCheckForCancellation)(AEGP_CancelRefcon refcon,
                                                      A_Boolean* cancelPB);

/* The plug-in's one exported function, called once when the host loads it. */
typedef A_Err (*AEGP_PluginInitFuncPrototype)(SPBasicSuite* pica_basicP, A_long major_versionL,
                                              A_long minor_versionL,
                                              AEGP_PluginID aegp_plugin_id,
                                              AEGP_GlobalRefcon* global_refconP);

/* The symbol name under which a host looks the entry point up. */
#define AEGP_ENTRY_POINT_NAME "EntryPointFunc"

#ifdef __cplusplus
}
#endif
