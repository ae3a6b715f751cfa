// The host's main window: the viewer area on the left and the workspace frame (the dock with
// the panels' tabs and containers) on the right, titled "quillo-host — <project name>". It is
// resized as a whole; both parts follow. A screenshot renders the viewer's panes and writes the
// window as a PNG.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/geometry.h"

namespace qlo::ui {
class Window;
}

namespace qlo::hostsim {

class Viewer;
class Workspace;

class MainWindow {
public:
    static constexpr double kDockWidth = 320;
    static constexpr ui::Rect kDefaultFrame{0, 25, 1280, 720};

    // Builds the window (visible) around the viewer's area and the workspace's frame.
    MainWindow(Viewer& viewer, Workspace& workspace);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    const std::shared_ptr<ui::Window>& window() const { return window_; }
    // Sets the title from the project's name and brings the viewer up to date.
    void refresh(const std::string& projectName);
    // Moves and resizes the window: the dock keeps its width at the right edge (narrower when
    // the window is), the viewer takes the rest.
    void setFrame(const ui::Rect& frame);

    // Renders the viewer's panes, then writes the whole window, title bar included, to a PNG.
    // False with a reason when the file cannot be written.
    bool screenshot(const std::string& path, std::string* error);

private:
    void layout();

    Viewer& viewer_;
    Workspace& workspace_;
    std::shared_ptr<ui::Window> window_;
};

// The title of the main window for a project.
std::string MainWindowTitle(const std::string& projectName);

}  // namespace qlo::hostsim
