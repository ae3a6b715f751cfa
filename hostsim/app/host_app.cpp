// The application object: plug-ins, commands, menus and the project file. The panels are in
// host_panels.cpp, the windows in host_windows.cpp, the main loop in main_loop.cpp, the suite
// tables in host_suites.cpp.
#include "hostsim/app/host_app.h"

#include <stdexcept>

#include "hostsim/app/host_suites.h"
#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"
#include "hostsim/suite_registry.h"
#include "hostsim/suites/model_suites.h"
#include "platform/log.h"

namespace qlo::hostsim {

namespace {

HostApp* g_app = nullptr;

// The host's own panels in the frame, and the Window menu items that show and hide them.
struct HostTab {
    const char* name;
    AEGP_Command command;
};
constexpr HostTab kHostTabs[] = {
    {"Audio", kHostCmdWindowAudio},
    {"Info", kHostCmdWindowInfo},
    {"Preview", kHostCmdWindowPreview},
    {"Tracker", kHostCmdWindowTracker},
};

std::vector<std::string> HostTabNames() {
    std::vector<std::string> names;
    for (const HostTab& tab : kHostTabs) names.emplace_back(tab.name);
    return names;
}

}  // namespace

const char* MenuChoiceName(MenuChoice choice) {
    switch (choice) {
        case MenuChoice::Handled: return "handled";
        case MenuChoice::NotHandled: return "not handled by anyone";
        case MenuChoice::NotFound: return "no such menu item";
        case MenuChoice::Disabled: return "menu item is disabled";
        case MenuChoice::Failed: return "failed";
    }
    return "unknown";
}

HostApp::HostApp()
    : workspace_(HostTabNames(),
                 [this](AEGP_PluginID plugin) { return hooks_.globalRefcon(plugin); }) {
    if (g_app != nullptr) throw std::logic_error("only one HostApp per process");
    g_app = this;
    runloop::RunLoop::main().bindToCurrentThread();
    buildMenus();
    RegisterHostSuites(SuiteRegistry::instance());
    RegisterModelSuites(SuiteRegistry::instance());
    // Frames are rendered by the scene renderer.
    render::UseSceneRenderer();
    menuTimer_ = runloop::RunLoop::main().addTimer(
        kMenuUpdateInterval, true, [this](runloop::Timer&) { updateMenus(); });
    installWindowing();
}

HostApp::~HostApp() {
    uninstallWindowing();
    shutdown();
    // Death hooks may still run scripts; the engine goes after them. The renderer installed at
    // start goes too, so that nothing of this host outlives it.
    SetScriptEngine(nullptr);
    SetFrameRenderer(nullptr);
    if (menuTimer_) menuTimer_->invalidate();
    UnregisterHostSuites(SuiteRegistry::instance());
    g_app = nullptr;
}

HostApp* HostApp::current() {
    return g_app;
}

// ---- plug-ins --------------------------------------------------------------------------

AEGP_PluginID HostApp::loadPlugin(const std::string& path) {
    auto library = std::make_unique<PluginLibrary>(path);
    AEGP_PluginInitFuncPrototype entry = library->entryPoint();
    return startPlugin(path, std::move(library), entry);
}

AEGP_PluginID HostApp::attachPlugin(const std::string& name, AEGP_PluginInitFuncPrototype entry) {
    if (entry == nullptr) throw PluginLoadError("plug-in " + name + " has no entry point");
    return startPlugin(name, nullptr, entry);
}

AEGP_PluginID HostApp::startPlugin(const std::string& name,
                                   std::unique_ptr<PluginLibrary> library,
                                   AEGP_PluginInitFuncPrototype entry) {
    const AEGP_PluginID id = plugins_.add(name, std::move(library)).id;
    AEGP_GlobalRefcon global = nullptr;
    A_Err err;
    {
        Nested nested(*this);
        err = entry(SuiteRegistry::instance().basic(), kHostMajorVersion, kHostMinorVersion, id,
                    &global);
    }
    if (err != A_Err_NONE) {
        // Nothing of a plug-in whose start failed may be called again: its hooks and panels
        // go, and so does its library.
        plugins_.takeLast();
        hooks_.removePlugin(id);
        workspace_.removePlugin(id);
        menuUpdatePending_ = false;
        throw PluginLoadError("entry point of plug-in " + name + " returned error " +
                              std::to_string(err));
    }
    hooks_.setGlobalRefcon(id, global);
    log::Log("[host] loaded plug-in %s (id %d)", name.c_str(), id);
    flushMenuUpdate();
    return id;
}

void HostApp::dropPlugin(PluginSet::Plugin& plugin) {
    {
        Nested nested(*this);
        hooks_.runDeathHooks(plugin.id);
    }
    hooks_.removePlugin(plugin.id);
    workspace_.removePlugin(plugin.id);
    log::Log("[host] unloaded plug-in %s", plugin.name.c_str());
    plugin.library.reset();
}

void HostApp::unloadPlugins() {
    // Last loaded, first gone; each plug-in's death hooks run (while it is still listed)
    // before its library closes.
    while (!plugins_.empty()) {
        dropPlugin(plugins_.last());
        plugins_.takeLast();
    }
    menuUpdatePending_ = false;
}

// ---- commands and menus ----------------------------------------------------------------

void HostApp::buildMenus() {
    MenuBar& bar = commands_.bar();
    bar.addMenu(AEGP_Menu_FILE, "File");
    bar.addMenu(AEGP_Menu_EDIT, "Edit");
    bar.addMenu(AEGP_Menu_COMPOSITION, "Composition");
    bar.addMenu(AEGP_Menu_LAYER, "Layer");
    bar.addMenu(kHostMenuView, "View");
    bar.addMenu(AEGP_Menu_WINDOW, "Window");

    bar.insert(kHostCmdSaveProject, "Save", AEGP_Menu_FILE, AEGP_MENU_INSERT_AT_BOTTOM);
    bar.insert(kHostCmdQuit, "Quit", AEGP_Menu_FILE, AEGP_MENU_INSERT_AT_BOTTOM);
    bar.insert(AEGP_Cmd_TOGGLE_PLAYBACK, "Play Current Preview", AEGP_Menu_COMPOSITION,
               AEGP_MENU_INSERT_AT_BOTTOM);
    for (const HostTab& tab : kHostTabs) {
        bar.insert(tab.command, tab.name, AEGP_Menu_WINDOW, AEGP_MENU_INSERT_SORTED);
        const std::string name = tab.name;
        commands_.addHostCommand(tab.command, [this, name]() { return togglePanel(name); });
    }

    commands_.addHostCommand(AEGP_Cmd_TOGGLE_PLAYBACK, [this]() { return togglePlayback(); });
    commands_.addHostCommand(kHostCmdQuit, [this]() {
        requestQuit("File > Quit");
        return A_Err_NONE;
    });
    commands_.addHostCommand(kHostCmdSaveProject, [this]() {
        if (projectPath_.empty()) {
            log::Log("[host] File > Save: no project file (start with --project or --save)");
            return A_Err_GENERIC;
        }
        return saveProject(projectPath_) ? A_Err_NONE : A_Err_GENERIC;
    });
    buildWindowMenus();
}

HostApp::CommandResult HostApp::carryOut(AEGP_Command command) {
    CommandResult result;
    if (!commands_.isKnown(command)) {
        result.err = A_Err_PARAMETER;
        return result;
    }
    {
        Nested nested(*this);
        HookTable::CommandOutcome before = hooks_.dispatchCommand(command, AEGP_HP_BeforeAE, false);
        result.err = before.firstError;
        result.handled = before.handled;

        const HostCommands::Action* own = commands_.hostAction(command);
        if (!result.handled && own != nullptr) {
            const A_Err err = (*own)();
            if (result.err == A_Err_NONE) result.err = err;
            result.handled = true;
        }

        HookTable::CommandOutcome after =
            hooks_.dispatchCommand(command, AEGP_HP_AfterAE, result.handled);
        if (result.err == A_Err_NONE) result.err = after.firstError;
        result.handled = after.handled;
    }
    lastHandled_ = result.handled;
    flushMenuUpdate();
    return result;
}

A_Err HostApp::doCommand(AEGP_Command command) {
    return carryOut(command).err;
}

MenuChoice HostApp::chooseMenuCommand(const std::string& text) {
    if (menus().findByName(text) == nullptr) return MenuChoice::NotFound;
    updateMenus();
    // The update may have removed or renamed the item; look again, as the open menu shows.
    const MenuItem* item = menus().findByName(text);
    if (item == nullptr) return MenuChoice::NotFound;
    if (!item->enabled) return MenuChoice::Disabled;
    const CommandResult result = carryOut(item->command);
    if (result.err != A_Err_NONE) return MenuChoice::Failed;
    return result.handled ? MenuChoice::Handled : MenuChoice::NotHandled;
}

void HostApp::updateHostItems() {
    for (const HostTab& tab : kHostTabs) {
        commands_.setChecked(tab.command, workspace_.tabShown(tab.name));
    }
    const Item* active = CurrentProject().activeItem();
    const bool canPlay = CurrentProject().playing() ||
                         (active != nullptr && active->asComposition() != nullptr);
    commands_.setEnabled(AEGP_Cmd_TOGGLE_PLAYBACK, canPlay);
    updateWindowItems();
}

void HostApp::updateMenus() {
    menuUpdatePending_ = false;
    ++menuUpdates_;
    updateHostItems();
    Nested nested(*this);
    hooks_.runUpdateMenuHooks(activeWindow_);
}

void HostApp::visibilityChanged() {
    menuUpdatePending_ = true;
    flushMenuUpdate();
}

void HostApp::flushMenuUpdate() {
    if (depth_ == 0 && menuUpdatePending_) updateMenus();
}

A_Err HostApp::togglePlayback() {
    Project& project = CurrentProject();
    const bool wasPlaying = project.playing();
    const bool nowPlaying = project.togglePlayback(runloop::RunLoop::main().now());
    if (!wasPlaying && !nowPlaying) {
        log::Log("[host] no active composition to play");
        return A_Err_GENERIC;
    }
    log::Log("[host] playback %s", nowPlaying ? "started" : "stopped");
    return A_Err_NONE;
}

// ---- project ---------------------------------------------------------------------------

bool HostApp::saveProject(const std::string& path) {
    try {
        SaveProject(CurrentProject(), path);
    } catch (const ProjectFileError& e) {
        log::Log("[host] cannot save project: %s", e.what());
        return false;
    }
    log::Log("[host] saved project to %s", path.c_str());
    return true;
}

}  // namespace qlo::hostsim
