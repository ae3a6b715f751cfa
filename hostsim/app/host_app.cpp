// The application object: plug-ins, commands, menus, panels and the project file. The main
// loop is in main_loop.cpp, the suite tables in host_suites.cpp.
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
    Plugin plugin;
    plugin.id = nextPluginId_++;
    plugin.name = name;
    plugin.library = std::move(library);
    plugins_.push_back(std::move(plugin));

    AEGP_GlobalRefcon global = nullptr;
    A_Err err;
    {
        Nested nested(*this);
        err = entry(SuiteRegistry::instance().basic(), kHostMajorVersion, kHostMinorVersion,
                    plugins_.back().id, &global);
    }
    if (err != A_Err_NONE) {
        // Nothing of a plug-in whose start failed may be called again: its hooks and panels
        // go, and so does its library.
        Plugin failed = std::move(plugins_.back());
        plugins_.pop_back();
        hooks_.removePlugin(failed.id);
        workspace_.removePlugin(failed.id);
        menuUpdatePending_ = false;
        throw PluginLoadError("entry point of plug-in " + name + " returned error " +
                              std::to_string(err));
    }
    hooks_.setGlobalRefcon(plugins_.back().id, global);
    log::Log("[host] loaded plug-in %s (id %d)", name.c_str(), plugins_.back().id);
    flushMenuUpdate();
    return plugins_.back().id;
}

void HostApp::dropPlugin(Plugin& plugin) {
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
    // Last loaded, first gone; each plug-in's death hooks run before its library closes.
    while (!plugins_.empty()) {
        dropPlugin(plugins_.back());
        plugins_.pop_back();
    }
    menuUpdatePending_ = false;
}

bool HostApp::isPlugin(AEGP_PluginID plugin) const {
    for (const Plugin& p : plugins_) {
        if (p.id == plugin) return true;
    }
    return false;
}

std::vector<std::string> HostApp::pluginNames() const {
    std::vector<std::string> names;
    for (const Plugin& p : plugins_) names.push_back(p.name);
    return names;
}

// ---- commands and menus ----------------------------------------------------------------

void HostApp::buildMenus() {
    menus_.addMenu(AEGP_Menu_FILE, "File");
    menus_.addMenu(AEGP_Menu_EDIT, "Edit");
    menus_.addMenu(AEGP_Menu_COMPOSITION, "Composition");
    menus_.addMenu(AEGP_Menu_LAYER, "Layer");
    menus_.addMenu(kHostMenuView, "View");
    menus_.addMenu(AEGP_Menu_WINDOW, "Window");

    menus_.insert(kHostCmdSaveProject, "Save", AEGP_Menu_FILE, AEGP_MENU_INSERT_AT_BOTTOM);
    menus_.insert(kHostCmdQuit, "Quit", AEGP_Menu_FILE, AEGP_MENU_INSERT_AT_BOTTOM);
    menus_.insert(AEGP_Cmd_TOGGLE_PLAYBACK, "Play Current Preview", AEGP_Menu_COMPOSITION,
                  AEGP_MENU_INSERT_AT_BOTTOM);
    for (const HostTab& tab : kHostTabs) {
        menus_.insert(tab.command, tab.name, AEGP_Menu_WINDOW, AEGP_MENU_INSERT_SORTED);
        const std::string name = tab.name;
        hostCommands_[tab.command] = [this, name]() { return togglePanel(name); };
    }

    hostCommands_[AEGP_Cmd_TOGGLE_PLAYBACK] = [this]() { return togglePlayback(); };
    hostCommands_[kHostCmdQuit] = [this]() {
        requestQuit("File > Quit");
        return A_Err_NONE;
    };
    hostCommands_[kHostCmdSaveProject] = [this]() {
        if (projectPath_.empty()) {
            log::Log("[host] File > Save: no project file (start with --project or --save)");
            return A_Err_GENERIC;
        }
        return saveProject(projectPath_) ? A_Err_NONE : A_Err_GENERIC;
    };
    buildWindowMenus();
}

AEGP_Command HostApp::newUniqueCommand() {
    const AEGP_Command command = nextUniqueCommand_++;
    uniqueCommands_.insert(command);
    return command;
}

bool HostApp::isKnownCommand(AEGP_Command command) const {
    return hostCommands_.count(command) != 0 || uniqueCommands_.count(command) != 0;
}

A_Err HostApp::insertMenuCommand(AEGP_Command command, const std::string& name,
                                 AEGP_MenuID menu, A_long after) {
    if (!isKnownCommand(command)) return A_Err_PARAMETER;
    return menus_.insert(command, name, menu, after);
}

A_Err HostApp::removeMenuCommand(AEGP_Command command) {
    return menus_.remove(command);
}

A_Err HostApp::setCommandEnabled(AEGP_Command command, bool enabled) {
    return menus_.setEnabled(command, enabled);
}

A_Err HostApp::setCommandChecked(AEGP_Command command, bool checked) {
    return menus_.setChecked(command, checked);
}

HostApp::CommandResult HostApp::carryOut(AEGP_Command command) {
    CommandResult result;
    if (!isKnownCommand(command)) {
        result.err = A_Err_PARAMETER;
        return result;
    }
    {
        Nested nested(*this);
        HookTable::CommandOutcome before = hooks_.dispatchCommand(command, AEGP_HP_BeforeAE, false);
        result.err = before.firstError;
        result.handled = before.handled;

        auto own = hostCommands_.find(command);
        if (!result.handled && own != hostCommands_.end()) {
            const A_Err err = own->second();
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
    if (menus_.findByName(text) == nullptr) return MenuChoice::NotFound;
    updateMenus();
    // The update may have removed or renamed the item; look again, as the open menu shows.
    const MenuItem* item = menus_.findByName(text);
    if (item == nullptr) return MenuChoice::NotFound;
    if (!item->enabled) return MenuChoice::Disabled;
    const CommandResult result = carryOut(item->command);
    if (result.err != A_Err_NONE) return MenuChoice::Failed;
    return result.handled ? MenuChoice::Handled : MenuChoice::NotHandled;
}

std::optional<bool> HostApp::checkMark(const std::string& text) const {
    const MenuItem* item = menus_.findByName(text);
    if (item == nullptr) return std::nullopt;
    return item->checked;
}

void HostApp::updateHostItems() {
    for (const HostTab& tab : kHostTabs) {
        menus_.setChecked(tab.command, workspace_.tabShown(tab.name));
    }
    const Item* active = CurrentProject().activeItem();
    const bool canPlay = CurrentProject().playing() ||
                         (active != nullptr && active->asComposition() != nullptr);
    menus_.setEnabled(AEGP_Cmd_TOGGLE_PLAYBACK, canPlay);
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

// ---- panels ----------------------------------------------------------------------------

A_Err HostApp::registerPanel(AEGP_PluginID plugin, const std::string& matchName,
                             AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                             bool paintBackground) {
    if (!isPlugin(plugin)) return A_Err_PARAMETER;
    return workspace_.registerPanel(plugin, matchName, hook, refcon, paintBackground);
}

A_Err HostApp::unregisterPanel(const std::string& matchName) {
    const bool wasShown = workspace_.tabShown(matchName);
    const A_Err err = workspace_.unregisterPanel(matchName);
    if (err == A_Err_NONE && wasShown) visibilityChanged();
    return err;
}

A_Err HostApp::togglePanel(const std::string& name) {
    A_Err err;
    {
        Nested nested(*this);
        err = workspace_.toggleVisibility(name);
    }
    if (err == A_Err_NONE) {
        log::Log("[host] panel \"%s\" %s", name.c_str(),
                 workspace_.tabShown(name) ? "shown" : "hidden");
        visibilityChanged();
    }
    return err;
}

A_Err HostApp::setPanelTitle(AEGP_PanelH panel, const std::string& title) {
    return workspace_.setPanelTitle(panel, title);
}

bool HostApp::bringTabToFront(const std::string& name) {
    if (!workspace_.bringToFront(name)) return false;
    visibilityChanged();
    return true;
}

bool HostApp::closeTab(const std::string& name) {
    if (!workspace_.closeTab(name)) return false;
    log::Log("[host] tab \"%s\" closed", name.c_str());
    visibilityChanged();
    return true;
}

A_Err HostApp::panelSnapSizes(const std::string& matchName, std::vector<A_LPoint>* sizes) const {
    return workspace_.snapSizes(matchName, sizes);
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
