#include "hostsim/app/container_view.h"

namespace qlo::hostsim {

ContainerView::ContainerView(std::string panelName, ui::View& frame, const ui::Rect& area)
    : panelName_(std::move(panelName)), view_(std::make_shared<ui::View>(area, "PanelContainer")) {
    view_->setIdentifier("workspace.panel." + panelName_);
    view_->setHidden(true);
    frame.addSubview(view_);
}

ContainerView::~ContainerView() {
    view_->removeFromSuperview();
}

std::unique_ptr<ContainerView> CreateContainerView(const std::string& panelName, ui::View& frame,
                                                   const ui::Rect& area) {
    return std::make_unique<ContainerView>(panelName, frame, area);
}

}  // namespace qlo::hostsim
