// The entry point and the host callbacks of the plug-in frame.
#include "engine/camera_switches.h"
#include "engine/engine_state.h"
#include "base/boundary.h"
#include "host/plugin.h"
#include "base/suite_handler.h"
#include "panel/panel_controller.h"
#include "platform/log.h"
#include "rig/rig_state.h"

using qlo::log::Log;

AEGP_Command g_menuCommand = 0;
const AEGP_WorkspacePanelSuite1* g_panelSuite = nullptr;
std::shared_ptr<QLOPanelController> g_panelController;
bool g_panelWasShown = false;

namespace {

const A_u_char* PanelName() {
    return reinterpret_cast<const A_u_char*>(kQLOPanelName);
}

// Registers the menu command and the hooks, stopping at the first error.
A_Err RegisterCommandAndHooks() {
    AEGP_SuiteHandler suites(g_basicSuite);
    A_Err err = suites.CommandSuite1()->AEGP_GetUniqueCommand(&g_menuCommand);
    if (!err) {
        err = suites.CommandSuite1()->AEGP_InsertMenuCommand(
            g_menuCommand, kQLOPanelName, AEGP_Menu_WINDOW, AEGP_MENU_INSERT_SORTED);
    }
    if (!err) {
        err = suites.RegisterSuite6()->AEGP_RegisterCommandHook(
            g_pluginID, AEGP_HP_BeforeAE, AEGP_Command_ALL, &CommandHook, nullptr);
    }
    if (!err) {
        err = suites.RegisterSuite6()->AEGP_RegisterUpdateMenuHook(g_pluginID, &UpdateMenuHook,
                                                                   nullptr);
    }
    if (!err) {
        err = suites.RegisterSuite6()->AEGP_RegisterDeathHook(g_pluginID, &DeathHook, nullptr);
    }
    if (!err) {
        err = suites.RegisterSuite6()->AEGP_RegisterIdleHook(g_pluginID, &IdleHook, nullptr);
    }
    return err;
}

}  // namespace

extern "C" A_Err EntryPointFunc(SPBasicSuite* pica_basicP, A_long major_versionL,
                                A_long minor_versionL, AEGP_PluginID aegp_plugin_id,
                                AEGP_GlobalRefcon* /*global_refconP: not used*/) {
    return QLOCallFromHost("EntryPointFunc", [&]() -> A_Err {
        // Everything process-wide starts as at the first load: a host that loads the plug-in
        // again in the same process (as the tests do) finds nothing of an earlier load.
        ResetEngineState();
        ResetRigState();
        ForgetCameraSwitches();
        g_panelWasShown = false;
        g_pluginID = aegp_plugin_id;
        g_basicSuite = pica_basicP;
        Log("[Quillo] Plug-in loaded (host API %d.%d, plug-in id %d)", major_versionL,
            minor_versionL, aegp_plugin_id);

        // A suite missing during registration counts as a failed registration step: the later
        // steps are skipped, but the panel suite is still acquired below.
        A_Err err = QLOCallFromHost("EntryPointFunc registration", RegisterCommandAndHooks);
        if (err) Log("[Quillo] Registration failed (error %d)", err);

        const void* panelSuite = nullptr;
        SPErr panelErr = kSPBadParameterError;
        if (g_basicSuite != nullptr) {
            panelErr = g_basicSuite->AcquireSuite(kAEGPWorkspacePanelSuite,
                                                  kAEGPWorkspacePanelSuiteVersion1, &panelSuite);
        }
        if (panelErr == kSPNoError) g_panelSuite = static_cast<const AEGP_WorkspacePanelSuite1*>(panelSuite);

        if (panelErr == kSPNoError && g_panelSuite != nullptr && !err) {
            err = g_panelSuite->AEGP_RegisterCreatePanelHook(g_pluginID, PanelName(),
                                                             &CreatePanelHook, nullptr, true);
            if (!err) Log("[Quillo] Registered menu command %d and panel \"%s\"", g_menuCommand, kQLOPanelName);
        }
        return err;
    });
}

A_Err CommandHook(AEGP_GlobalRefcon, AEGP_CommandRefcon, AEGP_Command command,
                  AEGP_HookPriority, A_Boolean, A_Boolean* handledPB) {
    return QLOCallFromHost("CommandHook", [&]() -> A_Err {
        if (command != g_menuCommand) return A_Err_NONE;
        // Showing or hiding the panel leads to the next menu update, which starts or stops the
        // services; the command itself changes nothing else.
        if (g_panelSuite != nullptr) g_panelSuite->AEGP_ToggleVisibility(PanelName());
        if (handledPB != nullptr) *handledPB = true;
        return A_Err_NONE;
    });
}

A_Err UpdateMenuHook(AEGP_GlobalRefcon, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    return QLOCallFromHost("UpdateMenuHook", [&]() -> A_Err {
        AEGP_SuiteHandler suites(g_basicSuite);
        A_Err enableErr = suites.CommandSuite1()->AEGP_EnableCommand(g_menuCommand);
        if (g_panelSuite == nullptr) return enableErr;

        A_Boolean shown = false;
        A_Boolean frontmost = false;
        if (g_panelSuite->AEGP_IsShown(PanelName(), &shown, &frontmost)) return enableErr;

        A_Err result = enableErr;
        if (!enableErr) {
            // The item is checked only while the panel's tab is shown and frontmost.
            result = suites.CommandSuite1()->AEGP_CheckMarkMenuCommand(g_menuCommand,
                                                                       shown && frontmost);
        }
        if (shown && !g_panelWasShown) {
            QLOStartServices();
        } else if (!shown && g_panelWasShown) {
            QLOStopServices();
        }
        g_panelWasShown = shown;
        return result;
    });
}

A_Err CreatePanelHook(AEGP_GlobalRefcon, AEGP_CreatePanelRefcon, AEGP_PlatformViewRef container,
                      AEGP_PanelH panelH, AEGP_PanelFunctions1* outFunctionTable,
                      AEGP_PanelRefcon* outRefcon) {
    return QLOCallFromHost("CreatePanelHook", [&]() -> A_Err {
        // A panel created again replaces the earlier controller, whose views and timers go.
        if (g_panelController) g_panelController->tearDown();
        g_panelController = QLOPanelController::attachToContainer(container);
        if (g_panelSuite != nullptr) {
            g_panelSuite->AEGP_SetPanelTitle(panelH, PanelName());
        }
        Log("[Quillo] Panel created");
        QLOStartServices();
        // The services run now; the next menu update must not start them a second time.
        g_panelWasShown = true;

        if (outFunctionTable != nullptr) {
            outFunctionTable->GetSnapSizes = &QLOGetSnapSizes;
            outFunctionTable->PopulateFlyout = &QLOPopulateFlyout;
            outFunctionTable->DoFlyoutCommand = &QLODoFlyoutCommand;
        }
        if (outRefcon != nullptr) *outRefcon = reinterpret_cast<AEGP_PanelRefcon>(g_panelController.get());
        return A_Err_NONE;
    });
}

A_Err DeathHook(AEGP_GlobalRefcon, AEGP_DeathRefcon) {
    return QLOCallFromHost("DeathHook", [&]() -> A_Err {
        Log("[Quillo] Shutting down");
        QLOTearDownServices();
        if (g_panelSuite != nullptr && g_basicSuite != nullptr) {
            g_basicSuite->ReleaseSuite(kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1);
            g_panelSuite = nullptr;
        }
        return A_Err_NONE;
    });
}

A_Err QLOGetSnapSizes(AEGP_PanelRefcon, A_LPoint* snapSizes, A_long* numSizesPL) {
    return QLOCallFromHost("QLOGetSnapSizes", [&]() -> A_Err {
        if (snapSizes != nullptr) {
            snapSizes[0] = A_LPoint{320, 240};
            snapSizes[1] = A_LPoint{480, 360};
        }
        if (numSizesPL != nullptr) *numSizesPL = 2;
        return A_Err_NONE;
    });
}

A_Err QLOPopulateFlyout(AEGP_PanelRefcon, AEGP_FlyoutMenuItem*, A_long* in_out_numItemsPL) {
    return QLOCallFromHost("QLOPopulateFlyout", [&]() -> A_Err {
        // The panel has no flyout menu.
        if (in_out_numItemsPL != nullptr) *in_out_numItemsPL = 0;
        return A_Err_NONE;
    });
}

A_Err QLODoFlyoutCommand(AEGP_PanelRefcon, AEGP_FlyoutMenuCmdID) {
    return A_Err_NONE;
}
