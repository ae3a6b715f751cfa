// The application's panels: the Workspace Panel Suite's calls and the user's hand on the frame.
// Whatever changes what is shown leads to a menu update once the host has control again.
#include "hostsim/app/host_app.h"
#include "platform/log.h"

namespace qlo::hostsim {

A_Err HostApp::registerPanel(AEGP_PluginID plugin, const std::string& matchName,
                             AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                             bool paintBackground) {
    if (!plugins_.contains(plugin)) return A_Err_PARAMETER;
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

}  // namespace qlo::hostsim
