#include "hostsim/app/host_suites.h"

#include <new>

#include "hostsim/app/host_app.h"
#include "hostsim/suite_faults.h"
#include "platform/runloop.h"

namespace qlo::hostsim {

namespace {

// Runs a suite call against the application. No C++ exception may cross back into a plug-in.
// A fault armed on the calling function (named by the compiler) fails the call first.
template <class Body>
A_Err OnMain(Body&& body, const char* function = __builtin_FUNCTION()) noexcept {
    if (const A_Err fault = SuiteFaults::instance().check(function); fault != A_Err_NONE) return fault;
    HostApp* app = HostApp::current();
    if (app == nullptr) return A_Err_NOT_AVAILABLE;
    if (!runloop::RunLoop::main().isMainThread()) return A_Err_WRONG_THREAD;
    try {
        return body(*app);
    } catch (const std::bad_alloc&) {
        return A_Err_ALLOC;
    } catch (...) {
        return A_Err_GENERIC;
    }
}

const char* Text(const A_u_char* utf8) {
    return reinterpret_cast<const char*>(utf8);
}

// ---- Command Suite 1 -------------------------------------------------------------------

A_Err GetUniqueCommand(AEGP_Command* unique_commandP) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (unique_commandP == nullptr) return A_Err_PARAMETER;
        *unique_commandP = app.commands().newUniqueCommand();
        return A_Err_NONE;
    });
}

A_Err InsertMenuCommand(AEGP_Command command, const A_char* nameZ, AEGP_MenuID menu_id,
                        A_long after_itemL) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (nameZ == nullptr) return A_Err_PARAMETER;
        return app.commands().insertMenuCommand(command, nameZ, menu_id, after_itemL);
    });
}

A_Err RemoveMenuCommand(AEGP_Command command) {
    return OnMain([&](HostApp& app) -> A_Err { return app.commands().removeMenuCommand(command); });
}

A_Err EnableCommand(AEGP_Command command) {
    return OnMain([&](HostApp& app) -> A_Err { return app.commands().setEnabled(command, true); });
}

A_Err DisableCommand(AEGP_Command command) {
    return OnMain([&](HostApp& app) -> A_Err { return app.commands().setEnabled(command, false); });
}

A_Err CheckMarkMenuCommand(AEGP_Command command, A_Boolean checkB) {
    return OnMain([&](HostApp& app) -> A_Err { return app.commands().setChecked(command, checkB != 0); });
}

A_Err DoCommand(AEGP_Command command) {
    return OnMain([&](HostApp& app) -> A_Err { return app.doCommand(command); });
}

const AEGP_CommandSuite1 kCommandSuite = {
    &GetUniqueCommand, &InsertMenuCommand, &RemoveMenuCommand, &EnableCommand,
    &DisableCommand,   &CheckMarkMenuCommand, &DoCommand,
};

// ---- Register Suite 6 ------------------------------------------------------------------

A_Err RegisterCommandHook(AEGP_PluginID plugin, AEGP_HookPriority priority,
                          AEGP_Command command, AEGP_CommandHook hook,
                          AEGP_CommandRefcon refcon) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (!app.plugins().contains(plugin) || hook == nullptr) return A_Err_PARAMETER;
        if (priority != AEGP_HP_BeforeAE && priority != AEGP_HP_AfterAE) return A_Err_PARAMETER;
        app.hooks().addCommandHook(plugin, priority, command, hook, refcon);
        return A_Err_NONE;
    });
}

A_Err RegisterUpdateMenuHook(AEGP_PluginID plugin, AEGP_UpdateMenuHook hook,
                             AEGP_UpdateMenuRefcon refcon) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (!app.plugins().contains(plugin) || hook == nullptr) return A_Err_PARAMETER;
        app.hooks().addUpdateMenuHook(plugin, hook, refcon);
        return A_Err_NONE;
    });
}

A_Err RegisterDeathHook(AEGP_PluginID plugin, AEGP_DeathHook hook, AEGP_DeathRefcon refcon) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (!app.plugins().contains(plugin) || hook == nullptr) return A_Err_PARAMETER;
        app.hooks().addDeathHook(plugin, hook, refcon);
        return A_Err_NONE;
    });
}

A_Err RegisterIdleHook(AEGP_PluginID plugin, AEGP_IdleHook hook, AEGP_IdleRefcon refcon) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (!app.plugins().contains(plugin) || hook == nullptr) return A_Err_PARAMETER;
        app.hooks().addIdleHook(plugin, hook, refcon);
        return A_Err_NONE;
    });
}

const AEGP_RegisterSuite6 kRegisterSuite = {
    &RegisterCommandHook, &RegisterUpdateMenuHook, &RegisterDeathHook, &RegisterIdleHook,
};

// ---- Workspace Panel Suite 1 -----------------------------------------------------------

A_Err RegisterCreatePanelHook(AEGP_PluginID plugin, const A_u_char* matchNameZ,
                              AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                              A_Boolean paintBackgroundB) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (matchNameZ == nullptr) return A_Err_PARAMETER;
        return app.registerPanel(plugin, Text(matchNameZ), hook, refcon, paintBackgroundB != 0);
    });
}

A_Err UnRegisterCreatePanelHook(const A_u_char* matchNameZ) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (matchNameZ == nullptr) return A_Err_PARAMETER;
        return app.unregisterPanel(Text(matchNameZ));
    });
}

A_Err SetPanelTitle(AEGP_PanelH panelH, const A_u_char* titleZ) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (titleZ == nullptr) return A_Err_PARAMETER;
        return app.setPanelTitle(panelH, Text(titleZ));
    });
}

A_Err ToggleVisibility(const A_u_char* matchNameZ) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (matchNameZ == nullptr) return A_Err_PARAMETER;
        return app.togglePanel(Text(matchNameZ));
    });
}

A_Err IsShown(const A_u_char* matchNameZ, A_Boolean* tabIsShownB, A_Boolean* frontmostB) {
    return OnMain([&](HostApp& app) -> A_Err {
        if (matchNameZ == nullptr || tabIsShownB == nullptr || frontmostB == nullptr) {
            return A_Err_PARAMETER;
        }
        bool shown = false;
        bool frontmost = false;
        A_Err err = app.workspace().isShown(Text(matchNameZ), &shown, &frontmost);
        if (err != A_Err_NONE) return err;
        *tabIsShownB = shown;
        *frontmostB = frontmost;
        return A_Err_NONE;
    });
}

const AEGP_WorkspacePanelSuite1 kWorkspacePanelSuite = {
    &RegisterCreatePanelHook, &UnRegisterCreatePanelHook, &SetPanelTitle, &ToggleVisibility,
    &IsShown,
};

}  // namespace

void RegisterHostSuites(SuiteRegistry& registry) {
    registry.add(kAEGPCommandSuite, kAEGPCommandSuiteVersion1, &kCommandSuite);
    registry.add(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6, &kRegisterSuite);
    registry.add(kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1,
                 &kWorkspacePanelSuite);
}

void UnregisterHostSuites(SuiteRegistry& registry) {
    registry.remove(kAEGPCommandSuite, kAEGPCommandSuiteVersion1);
    registry.remove(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
    registry.remove(kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1);
}

}  // namespace qlo::hostsim
