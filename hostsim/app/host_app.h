// The stand-in host application: one per process. It owns the menu bar, the hooks plug-ins
// register, the workspace of panels, the loaded plug-ins and the main loop, and offers the
// Command, Register and Workspace Panel suites (plus the model's suites) through the basic
// suite. Everything runs on the main thread, the thread that created the application.
//
// Menu updates. The host calls every update-menu hook (after setting its own items' state):
//  - when a menu opens: chooseMenuCommand() and the console's `menus` listing;
//  - after a panel is shown or hidden (by a plug-in, the console or the user closing a tab),
//    once the host has control again, i.e. when the outermost suite call, command or main-loop
//    round that caused the change ends;
//  - every kMenuUpdateInterval seconds from the main loop, so that the plug-in notices within
//    half a second a panel the user closed.
//
// Main loop rounds. A round services the run loop once (waiting at most the wait the previous
// round left when nothing is due), advances playback, calls every idle hook with *max_sleepPL
// preset to kIdleSleepPresetMs and computes the next wait: the smallest max-sleep asked, or
// kZeroSleepWaitSeconds when a hook asked for 0. So idle hooks are called at least 20 times a
// second, and at most about 1000 times a second when a hook keeps asking for 0: the host never
// spins a core on nothing. While a modal session is up the run loop runs in the ModalPanel
// mode and idle hooks are not called (the real host's main loop is blocked in the dialog).
//
// Windows. The host's main window (hostsim/app/main_window.h) shows the composition viewer
// (hostsim/app/viewer.h), whose layout the View menu's items set, next to the workspace frame
// that docks the panels; the window's title follows the project file's name. There is also a
// "Go to Time" dialog (Composition > Go to Time...) that runs as a modal session of the view
// toolkit's Application: opening it returns at once, and until the
// dialog ends (its OK or Cancel button, or the Application's stopModal/abortModal) every round
// runs the loop in the ModalPanel mode without idle hooks, as a nested modal loop would. The
// application installs the ExtendScript engine (hostsim/script) for AEGP_ExecuteScript.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/app/go_to_time_dialog.h"
#include "hostsim/app/hook_table.h"
#include "hostsim/app/host_commands.h"
#include "hostsim/app/main_window.h"
#include "hostsim/app/menu_bar.h"
#include "hostsim/app/plugin_library.h"
#include "hostsim/app/plugin_set.h"
#include "hostsim/app/signal_pipe.h"
#include "hostsim/app/viewer.h"
#include "hostsim/app/workspace.h"
#include "platform/runloop.h"
#include "sdk/AE_SDK.h"

namespace qlo::ui {
class Window;
}

namespace qlo::hostsim {

// The host API version handed to entry points.
inline constexpr A_long kHostMajorVersion = 1;
inline constexpr A_long kHostMinorVersion = 0;
// Commands handed out by AEGP_GetUniqueCommand count up from here.
inline constexpr AEGP_Command kFirstUniqueCommand = 10000;
// What *max_sleepPL holds when an idle hook is called, and the longest a round waits.
inline constexpr A_long kIdleSleepPresetMs = 50;
// The wait of a round after an idle hook asked for 0 ms.
inline constexpr double kZeroSleepWaitSeconds = 0.001;
// Period of the main loop's menu update.
inline constexpr double kMenuUpdateInterval = 0.5;

// The host's own commands (besides AEGP_Cmd_TOGGLE_PLAYBACK).
enum : AEGP_Command {
    kHostCmdSaveProject = 3001,
    kHostCmdQuit = 3002,
    kHostCmdWindowAudio = 3101,
    kHostCmdWindowInfo = 3102,
    kHostCmdWindowPreview = 3103,
    kHostCmdWindowTracker = 3104,
    kHostCmdGoToTime = 3010,
    kHostCmdViewOne = 3201,
    kHostCmdViewTwoHorizontal = 3202,
    kHostCmdViewTwo = 3203,
    kHostCmdViewTwoVertical = 3204,
    kHostCmdViewFour = 3205,
};

// The host's View menu (a menu of the host only; plug-ins add to the SDK's menus).
inline constexpr AEGP_MenuID kHostMenuView = 1001;

// How choosing a menu command went.
enum class MenuChoice {
    Handled,     // a hook or the host carried it out
    NotHandled,  // dispatched, but nobody handled it
    NotFound,    // no menu item has that text
    Disabled,    // the item is greyed out (after the menu update)
    Failed       // a hook or the host returned an error
};
const char* MenuChoiceName(MenuChoice choice);

struct RoundReport {
    int runLoopCallbacks = 0;     // timers, blocks and descriptors the run loop ran
    int idleHooksCalled = 0;
    A_long sleepMs = 0;           // the smallest max-sleep the idle hooks asked for
    double nextWaitSeconds = 0;   // what the next round may wait at most
};

class HostApp {
public:
    // Binds the main run loop to the calling thread, offers the suites and builds the menus.
    // Throws std::logic_error when another HostApp is alive.
    HostApp();
    // Shuts down (if not done yet) and withdraws the host's suites.
    ~HostApp();
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;

    // The application of the process, or null. The suite functions reach it through this.
    static HostApp* current();

    // ---- plug-ins ----------------------------------------------------------------------
    // dlopens a plug-in and calls its entry point. Throws PluginLoadError when the library
    // cannot be loaded, lacks the entry point, or its entry point returns an error (then its
    // hooks and panels are dropped and the library is closed again).
    AEGP_PluginID loadPlugin(const std::string& path);
    // The same for an entry point linked into this process (tests of the plug-in frame).
    AEGP_PluginID attachPlugin(const std::string& name, AEGP_PluginInitFuncPrototype entry);
    // Runs each plug-in's death hooks, drops its hooks and panels, then closes its library.
    void unloadPlugins();
    const PluginSet& plugins() const { return plugins_; }

    // ---- commands and menus ------------------------------------------------------------
    // The commands and the menu bar (the Command Suite's calls go here).
    HostCommands& commands() { return commands_; }
    const MenuBar& menus() const { return commands_.bar(); }

    // Carries a command out: before-host command hooks, then (when none handled it) the
    // host's own handling, then after-host hooks. A_Err_PARAMETER for an unknown command;
    // otherwise the first error of a hook or the host.
    A_Err doCommand(AEGP_Command command);
    // Whether the last doCommand was handled by someone.
    bool lastCommandHandled() const { return lastHandled_; }

    // Chooses a menu item by its text, as a user would: the menus are updated (as opening
    // them does), then the command is carried out unless its item is disabled.
    MenuChoice chooseMenuCommand(const std::string& text);
    // The check mark of the item with that text; nullopt when there is none.
    std::optional<bool> checkMark(const std::string& text) const { return commands_.checkMark(text); }
    // Updates every menu now: the host's own items, then every update-menu hook.
    void updateMenus();
    int menuUpdateCount() const { return menuUpdates_; }
    void setActiveWindow(AEGP_WindowType type) { activeWindow_ = type; }

    // ---- hooks -------------------------------------------------------------------------
    HookTable& hooks() { return hooks_; }

    // ---- panels ------------------------------------------------------------------------
    const Workspace& workspace() const { return workspace_; }
    // The Workspace Panel Suite's calls that change what is shown; each leads to a menu
    // update once the host has control again.
    A_Err registerPanel(AEGP_PluginID plugin, const std::string& matchName,
                        AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                        bool paintBackground);
    A_Err unregisterPanel(const std::string& matchName);
    A_Err togglePanel(const std::string& name);
    A_Err setPanelTitle(AEGP_PanelH panel, const std::string& title);
    // The user's hand on the frame: bring a tab in front of the others, or close one.
    bool bringTabToFront(const std::string& name);
    bool closeTab(const std::string& name);
    A_Err panelSnapSizes(const std::string& matchName, std::vector<A_LPoint>* sizes) const;

    // ---- project -----------------------------------------------------------------------
    // The file File > Save writes (empty: File > Save fails).
    void setProjectPath(const std::string& path) { projectPath_ = path; }
    const std::string& projectPath() const { return projectPath_; }
    // Saves the current project; false (with a logged reason) when it cannot.
    bool saveProject(const std::string& path);

    // ---- windows -----------------------------------------------------------------------
    Viewer& viewer() { return viewer_; }
    const Viewer& viewer() const { return viewer_; }
    // The state of the viewer of the composition in front (see Viewer::FrontComposition).
    ViewerState viewerState() const { return viewer_.state(Viewer::FrontComposition()); }
    // Sets the layout of the front composition's viewer; A_Err_GENERIC when none is open.
    A_Err setViewerLayout(ViewLayout layout);
    // The main window (viewer and panel dock), brought up to date.
    MainWindow& mainWindow();

    // Opens the "Go to Time" dialog for the active composition as a modal session and returns
    // its window at once; the dialog's field holds the composition's time as timecode. While a
    // dialog is up, opening gives that one. Null when no composition is active.
    ui::Window* openGoToTimeDialog(const GoToTimeDialogStyle& style = {});
    // The open dialog; null when none.
    GoToTimeDialog* goToTimeDialog() const { return goToTime_.get(); }
    // The view toolkit's modal window (the dialog's while it is up); null when none.
    ui::Window* modalWindow() const;

    // ---- main loop ---------------------------------------------------------------------
    RoundReport runRound(double maxWaitSeconds);
    // Runs n rounds as run() would, the first without waiting.
    void runRounds(int n);
    // Runs rounds until a quit request, then shuts down. Returns the exit status (0).
    int run();
    // Asks the loop to end after the current round. Any thread; not from a signal handler.
    void requestQuit(const std::string& reason);
    bool quitRequested() const { return quitRequested_.load(); }
    // Death hooks, then every plug-in unloaded; stops watching signals. Idempotent.
    void shutdown();

    // SIGINT and SIGTERM request a quit (through a pipe the run loop watches).
    void watchQuitSignals();

    // Modal sessions nest; while one is up rounds run the loop in ModalPanel mode.
    void beginModal() { ++modalDepth_; }
    void endModal();
    runloop::Mode mode() const;
    // Runs modal rounds until done() is true or a quit is requested.
    void runModal(const std::function<bool()>& done);

private:
    struct CommandResult {
        A_Err err = A_Err_NONE;
        bool handled = false;
    };

    AEGP_PluginID startPlugin(const std::string& name, std::unique_ptr<PluginLibrary> library,
                              AEGP_PluginInitFuncPrototype entry);
    void dropPlugin(PluginSet::Plugin& plugin);
    void buildMenus();
    void updateHostItems();
    CommandResult carryOut(AEGP_Command command);
    A_Err togglePlayback();
    // Panel visibility changed: update the menus when the host has control again.
    void visibilityChanged();
    void flushMenuUpdate();
    // Window commands and menu items (host_windows.cpp).
    void buildWindowMenus();
    void updateWindowItems();
    void installWindowing();
    void uninstallWindowing();
    bool applyGoToTime(ObjectId comp, const std::string& text);
    void goToTimeEnded(int response);

    // Counts the host's own frames that called into plug-ins; changes made inside wait for
    // the outermost frame to end before menus are updated.
    struct Nested {
        explicit Nested(HostApp& app) : app_(app) { ++app_.depth_; }
        ~Nested() { --app_.depth_; }
        HostApp& app_;
    };

    HostCommands commands_{kFirstUniqueCommand};
    HookTable hooks_;
    Workspace workspace_;
    PluginSet plugins_;
    AEGP_WindowType activeWindow_ = AEGP_WindType_COMP;
    std::string projectPath_;

    int depth_ = 0;
    bool menuUpdatePending_ = false;
    int menuUpdates_ = 0;
    bool lastHandled_ = false;

    std::atomic<bool> quitRequested_{false};
    bool shutDown_ = false;
    int modalDepth_ = 0;
    runloop::TimerPtr menuTimer_;
    Viewer viewer_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<GoToTimeDialog> goToTime_;
    std::unique_ptr<SignalPipe> signals_;
    int signalWatch_ = -1;
};

}  // namespace qlo::hostsim
