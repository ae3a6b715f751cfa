#include "hostsim/app/main_window.h"

#include <algorithm>

#include "hostsim/app/viewer.h"
#include "hostsim/app/workspace.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

std::string MainWindowTitle(const std::string& projectName) {
    return "quillo-host \u2014 " + projectName;
}

MainWindow::MainWindow(Viewer& viewer, Workspace& workspace)
    : viewer_(viewer),
      workspace_(workspace),
      window_(std::make_shared<ui::Window>(MainWindowTitle("Untitled Project"), kDefaultFrame)) {
    window_->contentView().setIdentifier("host.content");
    window_->contentView().addSubview(viewer_.view());
    window_->contentView().addSubview(workspace_.frameView());
    viewer_.placeIn(window_);
    layout();
    window_->orderFront();
}

MainWindow::~MainWindow() {
    viewer_.placeIn(nullptr);
    // The viewer and the workspace keep their views; they leave this window.
    window_->contentView().removeAllSubviews();
}

void MainWindow::refresh(const std::string& projectName) {
    window_->setTitle(MainWindowTitle(projectName));
    viewer_.view();
}

void MainWindow::setFrame(const ui::Rect& frame) {
    window_->setFrame(frame);
    layout();
}

void MainWindow::layout() {
    const ui::Rect& frame = window_->frame();
    const double dock = std::min(kDockWidth, frame.width);
    viewer_.setFrame(0, 0, frame.width - dock, frame.height);
    workspace_.setFrame({frame.width - dock, 0, dock, frame.height});
    // The panels' own views follow their containers (autoresizing, constraints) at once.
    window_->layoutIfNeeded();
}

bool MainWindow::screenshot(const std::string& path, std::string* error) {
    viewer_.renderPanes();
    return ui::RenderWindowToPNG(*window_, path, error, /*withTitleBar=*/true);
}

}  // namespace qlo::hostsim
