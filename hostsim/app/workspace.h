// The host's workspace: one dockable panel frame holding tabs, some the host's own ("Audio",
// "Info", "Preview", "Tracker"), some plug-in panels registered by match name. A tab is shown
// while it is in the frame; the frame shows one tab at a time, the frontmost. A plug-in panel
// is created (its create hook called with a container view, a panel handle and a function
// table to fill) the first time it is shown, and stays created while hidden.
//
// The frame as views (frameView): a tab strip with the shown tabs' titles, the front one marked,
// above the panel area, which holds the plug-in panels' containers. Only the container of the
// front tab is shown; the others are hidden. The views follow every change of the tabs.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/app/container_view.h"
#include "platform/ui/view.h"
#include "sdk/AE_Hooks.h"

namespace qlo::hostsim {

class Workspace {
public:
    using GlobalRefconLookup = std::function<AEGP_GlobalRefcon(AEGP_PluginID)>;

    // `hostTabs` are shown at start, the first frontmost.
    Workspace(std::vector<std::string> hostTabs, GlobalRefconLookup globals);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // A_Err_PARAMETER for an empty name, a hook that is null, or a name already taken by a
    // host tab or another registered panel.
    A_Err registerPanel(AEGP_PluginID plugin, const std::string& matchName,
                        AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                        bool paintBackground);
    // Hides and destroys the panel; its handle goes stale. A_Err_PARAMETER when not registered.
    A_Err unregisterPanel(const std::string& matchName);
    // Destroys every panel of a plug-in (when it is unloaded).
    void removePlugin(AEGP_PluginID plugin);

    // Shows a hidden tab (creating a plug-in panel the first time; when the create hook fails
    // the panel is neither created nor shown and its error is returned) or hides a shown one.
    // A_Err_PARAMETER for a name that is neither a host tab nor a registered panel.
    A_Err toggleVisibility(const std::string& name);
    // Whether the tab is shown, and whether it is the frame's frontmost tab.
    A_Err isShown(const std::string& name, bool* shown, bool* frontmost) const;
    // A_Err_STRUCT for a handle that names no live panel.
    A_Err setPanelTitle(AEGP_PanelH panel, const std::string& title);

    // The frame, as the user sees and handles it.
    const std::vector<std::string>& tabs() const { return tabs_; }
    const std::string& frontTab() const { return front_; }
    bool tabShown(const std::string& name) const;
    // Brings a shown tab in front of the others; false when it is not shown.
    bool bringToFront(const std::string& name);
    // The user closes a tab: it is hidden as by toggleVisibility (a plug-in panel stays
    // created); the plug-in learns of it at the next menu update. False when not shown.
    bool closeTab(const std::string& name);
    bool isHostTab(const std::string& name) const;

    struct PanelInfo {
        std::string matchName;
        std::string title;
        AEGP_PluginID plugin = 0;
        bool created = false;
        bool paintBackground = false;
        AEGP_PanelH handle = nullptr;              // null until created
        AEGP_PlatformViewRef container = nullptr;  // null until created
        AEGP_PanelRefcon refcon = nullptr;         // what the create hook left
    };
    std::optional<PanelInfo> panel(const std::string& matchName) const;
    std::vector<std::string> panelNames() const;

    // The snap sizes a created panel reports through its function table (at most
    // AEGP_MAX_PANEL_SNAP_SIZES). A_Err_NOT_AVAILABLE when the panel is not created or its
    // table has no GetSnapSizes; the plug-in's error when the call fails.
    A_Err snapSizes(const std::string& matchName, std::vector<A_LPoint>* sizes) const;

    // ---- the frame's views -------------------------------------------------------------
    static constexpr double kTabStripHeight = 24;
    const std::shared_ptr<ui::View>& frameView() const { return frame_; }
    // Moves and resizes the frame (in its window's content); the tab strip and the containers
    // follow (the containers fill the panel area below the strip).
    void setFrame(const ui::Rect& frame);
    // The panel area, in the frame's coordinates.
    ui::Rect panelArea() const;

private:
    enum class State { Registered, Creating, Created };
    struct Record {
        std::string matchName;
        std::string title;
        AEGP_PluginID plugin = 0;
        AEGP_CreatePanelHook hook = nullptr;
        AEGP_CreatePanelRefcon hookRefcon = nullptr;
        bool paintBackground = false;
        State state = State::Registered;
        AEGP_PanelFunctions1 functions{};
        AEGP_PanelRefcon refcon = nullptr;
        std::unique_ptr<ContainerView> container;
        AEGP_PanelH handle() { return reinterpret_cast<AEGP_PanelH>(this); }
    };

    A_Err create(Record& record);
    void showTab(const std::string& name);
    void hideTab(const std::string& name);
    Record* find(const std::string& matchName) const;
    // Brings the tab strip and the containers' visibility up to date with the tabs.
    void syncViews();

    GlobalRefconLookup globals_;
    std::vector<std::string> hostTabs_;
    std::map<std::string, std::unique_ptr<Record>> panels_;
    std::vector<std::string> tabs_;
    std::string front_;
    std::shared_ptr<ui::View> frame_;
    std::shared_ptr<ui::View> tabStrip_;
};

}  // namespace qlo::hostsim
