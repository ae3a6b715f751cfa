// The container view the host hands to a panel's create hook: a ui::View in the workspace
// frame's panel area, in which the plug-in builds its panel. The handle the plug-in receives
// (AEGP_PlatformViewRef) is the view's address; a plug-in turns it back into the view with
// ui::ViewFromHandle, which also tells a stale handle from a live one. The container is shown
// while its panel's tab is shown and in front, hidden otherwise, and sized with the frame.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/view.h"
#include "sdk/AE_Types.h"

namespace qlo::hostsim {

class ContainerView {
public:
    // Makes the container inside `frame` at `area` (the frame's panel area), hidden.
    ContainerView(std::string panelName, ui::View& frame, const ui::Rect& area);
    // Takes the container (and the panel's views in it) out of the frame: the handle goes stale
    // once nothing else holds the view.
    ~ContainerView();
    ContainerView(const ContainerView&) = delete;
    ContainerView& operator=(const ContainerView&) = delete;

    const std::string& panelName() const { return panelName_; }
    ui::View& view() const { return *view_; }
    // The handle a plug-in receives.
    AEGP_PlatformViewRef ref() const { return reinterpret_cast<AEGP_PlatformViewRef>(view_.get()); }

private:
    std::string panelName_;
    std::shared_ptr<ui::View> view_;
};

// The one place that makes containers: a new, hidden container for the panel in the frame.
std::unique_ptr<ContainerView> CreateContainerView(const std::string& panelName, ui::View& frame,
                                                   const ui::Rect& area);

}  // namespace qlo::hostsim
