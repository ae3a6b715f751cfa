#include "hostsim/app/hook_table.h"

#include <algorithm>

#include "platform/log.h"

namespace qlo::hostsim {

namespace {

template <class List>
void RemoveOf(List& list, AEGP_PluginID plugin) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const auto& e) { return e.plugin == plugin; }),
               list.end());
}

void ReportHookError(const char* kind, AEGP_PluginID plugin, A_Err err) {
    log::Log("[host] %s hook of plug-in %d returned error %d", kind, plugin, err);
}

}  // namespace

void HookTable::setGlobalRefcon(AEGP_PluginID plugin, AEGP_GlobalRefcon refcon) {
    globals_[plugin] = refcon;
}

void HookTable::removePlugin(AEGP_PluginID plugin) {
    globals_.erase(plugin);
    idleErrorReported_.erase(plugin);
    RemoveOf(command_, plugin);
    RemoveOf(updateMenu_, plugin);
    RemoveOf(death_, plugin);
    RemoveOf(idle_, plugin);
}

AEGP_GlobalRefcon HookTable::globalRefcon(AEGP_PluginID plugin) const {
    auto it = globals_.find(plugin);
    return it == globals_.end() ? nullptr : it->second;
}

void HookTable::addCommandHook(AEGP_PluginID plugin, AEGP_HookPriority priority,
                               AEGP_Command command, AEGP_CommandHook hook,
                               AEGP_CommandRefcon refcon) {
    command_.push_back(CommandEntry{plugin, priority, command, hook, refcon});
}

void HookTable::addUpdateMenuHook(AEGP_PluginID plugin, AEGP_UpdateMenuHook hook,
                                  AEGP_UpdateMenuRefcon refcon) {
    updateMenu_.push_back({plugin, hook, refcon});
}

void HookTable::addDeathHook(AEGP_PluginID plugin, AEGP_DeathHook hook, AEGP_DeathRefcon refcon) {
    death_.push_back({plugin, hook, refcon});
}

void HookTable::addIdleHook(AEGP_PluginID plugin, AEGP_IdleHook hook, AEGP_IdleRefcon refcon) {
    idle_.push_back({plugin, hook, refcon});
}

// Every call below walks a copy of its list: a hook may register further hooks, which must
// neither invalidate the walk nor be called before the next round.

HookTable::CommandOutcome HookTable::dispatchCommand(AEGP_Command command,
                                                     AEGP_HookPriority priority,
                                                     bool alreadyHandled) {
    CommandOutcome outcome;
    outcome.handled = alreadyHandled;
    const std::vector<CommandEntry> hooks = command_;
    for (const CommandEntry& e : hooks) {
        if (e.priority != priority) continue;
        if (e.command != AEGP_Command_ALL && e.command != command) continue;
        A_Boolean handled = false;
        ++outcome.hooksCalled;
        A_Err err = e.hook(globalRefcon(e.plugin), e.refcon, command, priority,
                           outcome.handled ? 1 : 0, &handled);
        if (err != A_Err_NONE) {
            ReportHookError("command", e.plugin, err);
            if (outcome.firstError == A_Err_NONE) outcome.firstError = err;
        }
        if (handled) outcome.handled = true;
    }
    return outcome;
}

A_Err HookTable::runUpdateMenuHooks(AEGP_WindowType activeWindow) {
    A_Err first = A_Err_NONE;
    const auto hooks = updateMenu_;
    for (const auto& e : hooks) {
        A_Err err = e.hook(globalRefcon(e.plugin), e.refcon, activeWindow);
        if (err != A_Err_NONE) {
            ReportHookError("update-menu", e.plugin, err);
            if (first == A_Err_NONE) first = err;
        }
    }
    return first;
}

A_Err HookTable::runDeathHooks(AEGP_PluginID plugin) {
    A_Err first = A_Err_NONE;
    const auto hooks = death_;
    for (const auto& e : hooks) {
        if (e.plugin != plugin) continue;
        A_Err err = e.hook(globalRefcon(e.plugin), e.refcon);
        if (err != A_Err_NONE) {
            ReportHookError("death", e.plugin, err);
            if (first == A_Err_NONE) first = err;
        }
    }
    return first;
}

HookTable::IdleOutcome HookTable::runIdleHooks(A_long presetMs) {
    IdleOutcome outcome;
    outcome.sleepMs = presetMs;
    const auto hooks = idle_;
    for (const auto& e : hooks) {
        A_long maxSleep = presetMs;
        ++outcome.hooksCalled;
        A_Err err = e.hook(globalRefcon(e.plugin), e.refcon, &maxSleep);
        // Idle hooks run many times a second: a failing one is reported once, not each round.
        if (err != A_Err_NONE && idleErrorReported_.insert(e.plugin).second) {
            ReportHookError("idle", e.plugin, err);
        }
        outcome.sleepMs = std::min(outcome.sleepMs, std::max<A_long>(maxSleep, 0));
    }
    return outcome;
}

}  // namespace qlo::hostsim
