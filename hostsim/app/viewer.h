// The composition viewer of quillo-host: per composition a layout of 1, 2 or 4 views, the
// camera each view looks through (a camera layer of the composition, or a standard 3-D view such
// as "Active Camera") and the active view. The viewer shows the composition in front of the
// project's viewer order. Its views (platform/ui), the viewer area of the host's main window,
// are a toolbar with the layout control, radio buttons titled "1 View", "2 Views" and
// "4 Views", and one pane per view: a picture of the composition through the view's camera and
// a camera pop-up listing the standard views and the composition's cameras.
//
// Layout changes keep the cameras of the views that remain (the first view always remains);
// views added get the default of their place: the second of two views "Active Camera", the
// second to fourth of four "Front", "Right", "Active Camera". A view whose camera layer was
// deleted shows "Active Camera".
//
// The panes' pictures are rendered only when asked (renderPanes), never as a matter of course:
// a screenshot asks for them.
//
// Main thread only; works on CurrentProject().
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/model/project.h"

namespace qlo::ui {
class View;
class Window;
}

namespace qlo::hostsim {

enum class ViewLayout { OneView, TwoViewsHorizontal, TwoViewsVertical, FourViews };

int ViewCount(ViewLayout layout);
// "1 View", "2 Views Horizontal", "2 Views Vertical", "4 Views".
const char* ViewLayoutName(ViewLayout layout);

inline constexpr const char* kActiveCameraView = "Active Camera";
// The standard 3-D views: Active Camera, Front, Back, Left, Right, Top, Bottom, Custom View 1-3.
const std::vector<std::string>& StandardViewNames();
bool IsStandardViewName(const std::string& name);

// What one view looks through: a camera layer (cameraLayer != 0) or a standard view.
struct ViewerPane {
    ObjectId cameraLayer = 0;
    std::string standardView = kActiveCameraView;
};

struct ViewerState {
    ViewLayout layout = ViewLayout::OneView;
    std::vector<ViewerPane> panes{ViewerPane{}};
    int activePane = 0;
};

class Viewer {
public:
    Viewer();
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    // The composition in front of the viewer (first in the project's viewer order); 0 when no
    // composition is open.
    static ObjectId FrontComposition();

    // The state of a composition's viewer (one view through "Active Camera" until changed).
    ViewerState state(ObjectId comp) const;

    // Changes of a composition's viewer; false (nothing changes) when the composition does not
    // exist, the index is out of range, or the camera is not a camera layer of the composition.
    bool setLayout(ObjectId comp, ViewLayout layout);
    bool setActivePane(ObjectId comp, int index);
    bool setPaneCamera(ObjectId comp, int index, ObjectId cameraLayer);
    bool setPaneStandardView(ObjectId comp, int index, const std::string& viewName);
    // A choice in a pane's camera pop-up: a standard view's name or a camera layer's name. The
    // pane becomes the active one.
    bool choosePaneCamera(ObjectId comp, int index, const std::string& name);

    // The name a pane shows: the camera layer's name, or the standard view's.
    static std::string CameraName(ObjectId comp, const ViewerPane& pane);
    // The names a pane's pop-up offers: the standard views, then the composition's cameras.
    static std::vector<std::string> CameraChoices(ObjectId comp);

    // The viewer area, brought up to date with the front composition and its state (its views
    // are rebuilt only when what they show changed, so that views others hold stay valid until
    // then).
    std::shared_ptr<ui::View> view();
    // The window the viewer area is placed in (the host's main window), brought up to date;
    // null when it is in none.
    std::shared_ptr<ui::Window> window();
    void placeIn(const std::shared_ptr<ui::Window>& window) { host_ = window; }
    // Moves and resizes the viewer area (in its window's content); the panes follow.
    void setFrame(double x, double y, double width, double height);

    // Renders each pane's picture: the front composition at its current time, seen through the
    // pane's camera, fitted to the pane. Returns how many panes were rendered.
    int renderPanes();

    // The front composition's layout, active view and each view's camera, one line each.
    std::string describe() const;

private:
    ViewerState* mutableState(ObjectId comp);
    void refreshArea();

    std::map<ObjectId, ViewerState> states_;
    std::shared_ptr<ui::View> area_;
    std::weak_ptr<ui::Window> host_;
    std::string shown_;  // the composition, layout and size the area was last built for
};

// Builds the views of the viewer area for a composition (0: no composition open), replacing
// what the area held.
void BuildViewerArea(ui::View& area, Viewer& viewer, ObjectId comp);
// Brings the panes built by BuildViewerArea up to date (camera choices, each pop-up's selection,
// the active pane) without replacing any view.
void UpdateViewerArea(ui::View& area, Viewer& viewer, ObjectId comp);

}  // namespace qlo::hostsim
