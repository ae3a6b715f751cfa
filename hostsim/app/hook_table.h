// The hooks plug-ins registered through the Register Suite, each with its plug-in and refcon,
// and the calls the host makes into them. Hooks run in registration order. A hook registered
// while hooks are being called joins from the next call on.
#pragma once

#include <map>
#include <set>
#include <vector>

#include "sdk/AE_Hooks.h"

namespace qlo::hostsim {

class HookTable {
public:
    // The global refcon each plug-in's entry point left; handed to every hook of the plug-in.
    void setGlobalRefcon(AEGP_PluginID plugin, AEGP_GlobalRefcon refcon);
    // Null for a plug-in without one.
    AEGP_GlobalRefcon globalRefcon(AEGP_PluginID plugin) const;
    // Forgets a plug-in's hooks and refcon (after its death hooks ran).
    void removePlugin(AEGP_PluginID plugin);

    // `command` AEGP_Command_ALL (0) registers the hook for every command.
    void addCommandHook(AEGP_PluginID plugin, AEGP_HookPriority priority, AEGP_Command command,
                        AEGP_CommandHook hook, AEGP_CommandRefcon refcon);
    void addUpdateMenuHook(AEGP_PluginID plugin, AEGP_UpdateMenuHook hook,
                           AEGP_UpdateMenuRefcon refcon);
    void addDeathHook(AEGP_PluginID plugin, AEGP_DeathHook hook, AEGP_DeathRefcon refcon);
    void addIdleHook(AEGP_PluginID plugin, AEGP_IdleHook hook, AEGP_IdleRefcon refcon);

    struct CommandOutcome {
        bool handled = false;       // some hook (or an earlier stage) handled the command
        int hooksCalled = 0;
        A_Err firstError = A_Err_NONE;
    };
    // Calls the hooks of `priority` registered for `command` or for every command. Each gets
    // already_handledB = whether the command was handled before it (alreadyHandled, or an
    // earlier hook of this call), and *handledPB preset to false.
    CommandOutcome dispatchCommand(AEGP_Command command, AEGP_HookPriority priority,
                                   bool alreadyHandled);

    // Calls every update-menu hook; gives the first error (all hooks are called regardless).
    A_Err runUpdateMenuHooks(AEGP_WindowType activeWindow);

    // Calls the death hooks of one plug-in; gives the first error.
    A_Err runDeathHooks(AEGP_PluginID plugin);

    struct IdleOutcome {
        int hooksCalled = 0;
        // The smallest max-sleep any hook left, never more than the preset (the host's own
        // longest wait) and never negative; the preset when no hook is registered.
        A_long sleepMs = 0;
    };
    // Calls every idle hook with *max_sleepPL preset to presetMs.
    IdleOutcome runIdleHooks(A_long presetMs);

    size_t commandHookCount() const { return command_.size(); }
    size_t updateMenuHookCount() const { return updateMenu_.size(); }
    size_t deathHookCount() const { return death_.size(); }
    size_t idleHookCount() const { return idle_.size(); }

private:
    template <class Hook, class Refcon>
    struct Entry {
        AEGP_PluginID plugin;
        Hook hook;
        Refcon refcon;
    };
    struct CommandEntry {
        AEGP_PluginID plugin;
        AEGP_HookPriority priority;
        AEGP_Command command;
        AEGP_CommandHook hook;
        AEGP_CommandRefcon refcon;
    };

    std::map<AEGP_PluginID, AEGP_GlobalRefcon> globals_;
    std::set<AEGP_PluginID> idleErrorReported_;
    std::vector<CommandEntry> command_;
    std::vector<Entry<AEGP_UpdateMenuHook, AEGP_UpdateMenuRefcon>> updateMenu_;
    std::vector<Entry<AEGP_DeathHook, AEGP_DeathRefcon>> death_;
    std::vector<Entry<AEGP_IdleHook, AEGP_IdleRefcon>> idle_;
};

}  // namespace qlo::hostsim
