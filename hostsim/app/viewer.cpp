#include "hostsim/app/viewer.h"

#include <algorithm>
#include <sstream>

#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

// The cameras new views of a layout start with, by place (the first view is never new).
std::vector<std::string> DefaultViews(ViewLayout layout) {
    switch (layout) {
        case ViewLayout::OneView: return {kActiveCameraView};
        case ViewLayout::TwoViewsHorizontal:
        case ViewLayout::TwoViewsVertical: return {kActiveCameraView, kActiveCameraView};
        case ViewLayout::FourViews: return {kActiveCameraView, "Front", "Right", kActiveCameraView};
    }
    return {kActiveCameraView};
}

const Composition* FindComp(ObjectId comp) {
    const Item* item = CurrentProject().findItem(comp);
    return item != nullptr ? item->asComposition() : nullptr;
}

// The camera layer of the composition with that id; null when it is not one.
const Layer* CameraOf(ObjectId comp, ObjectId layer) {
    const Composition* c = FindComp(comp);
    if (c == nullptr || layer == 0) return nullptr;
    for (const auto& l : c->layers()) {
        if (l->id() == layer) return l->type() == LayerType::Camera ? l.get() : nullptr;
    }
    return nullptr;
}

}  // namespace

int ViewCount(ViewLayout layout) {
    switch (layout) {
        case ViewLayout::OneView: return 1;
        case ViewLayout::TwoViewsHorizontal:
        case ViewLayout::TwoViewsVertical: return 2;
        case ViewLayout::FourViews: return 4;
    }
    return 1;
}

const char* ViewLayoutName(ViewLayout layout) {
    switch (layout) {
        case ViewLayout::OneView: return "1 View";
        case ViewLayout::TwoViewsHorizontal: return "2 Views Horizontal";
        case ViewLayout::TwoViewsVertical: return "2 Views Vertical";
        case ViewLayout::FourViews: return "4 Views";
    }
    return "1 View";
}

const std::vector<std::string>& StandardViewNames() {
    static const std::vector<std::string> names = {
        "Active Camera", "Front", "Back", "Left", "Right", "Top", "Bottom",
        "Custom View 1", "Custom View 2", "Custom View 3"};
    return names;
}

bool IsStandardViewName(const std::string& name) {
    const auto& names = StandardViewNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

Viewer::Viewer() = default;
Viewer::~Viewer() = default;

ObjectId Viewer::FrontComposition() {
    const std::vector<ObjectId>& order = CurrentProject().viewerOrder();
    return order.empty() ? 0 : order.front();
}

ViewerState Viewer::state(ObjectId comp) const {
    auto it = states_.find(comp);
    return it == states_.end() ? ViewerState{} : it->second;
}

ViewerState* Viewer::mutableState(ObjectId comp) {
    if (FindComp(comp) == nullptr) return nullptr;
    return &states_[comp];
}

bool Viewer::setLayout(ObjectId comp, ViewLayout layout) {
    ViewerState* s = mutableState(comp);
    if (s == nullptr) return false;
    const std::vector<std::string> defaults = DefaultViews(layout);
    const size_t count = static_cast<size_t>(ViewCount(layout));
    for (size_t i = s->panes.size(); i < count; ++i) {
        s->panes.push_back(ViewerPane{0, defaults[i]});
    }
    s->panes.resize(count);
    s->layout = layout;
    s->activePane = std::min(s->activePane, static_cast<int>(count) - 1);
    refreshArea();
    return true;
}

bool Viewer::setActivePane(ObjectId comp, int index) {
    ViewerState* s = mutableState(comp);
    if (s == nullptr || index < 0 || static_cast<size_t>(index) >= s->panes.size()) return false;
    s->activePane = index;
    refreshArea();
    return true;
}

bool Viewer::setPaneCamera(ObjectId comp, int index, ObjectId cameraLayer) {
    ViewerState* s = mutableState(comp);
    if (s == nullptr || index < 0 || static_cast<size_t>(index) >= s->panes.size()) return false;
    if (CameraOf(comp, cameraLayer) == nullptr) return false;
    s->panes[static_cast<size_t>(index)] = ViewerPane{cameraLayer, {}};
    refreshArea();
    return true;
}

bool Viewer::setPaneStandardView(ObjectId comp, int index, const std::string& viewName) {
    ViewerState* s = mutableState(comp);
    if (s == nullptr || index < 0 || static_cast<size_t>(index) >= s->panes.size()) return false;
    if (!IsStandardViewName(viewName)) return false;
    s->panes[static_cast<size_t>(index)] = ViewerPane{0, viewName};
    refreshArea();
    return true;
}

bool Viewer::choosePaneCamera(ObjectId comp, int index, const std::string& name) {
    bool chosen = false;
    if (IsStandardViewName(name)) {
        chosen = setPaneStandardView(comp, index, name);
    } else if (const Composition* c = FindComp(comp)) {
        for (const auto& l : c->layers()) {
            if (l->type() == LayerType::Camera && l->name == name) {
                chosen = setPaneCamera(comp, index, l->id());
                break;
            }
        }
    }
    return chosen && setActivePane(comp, index);
}

std::string Viewer::CameraName(ObjectId comp, const ViewerPane& pane) {
    if (pane.cameraLayer == 0) return pane.standardView;
    const Layer* camera = CameraOf(comp, pane.cameraLayer);
    return camera != nullptr ? camera->name : std::string(kActiveCameraView);
}

std::vector<std::string> Viewer::CameraChoices(ObjectId comp) {
    std::vector<std::string> choices = StandardViewNames();
    if (const Composition* c = FindComp(comp)) {
        for (const auto& l : c->layers()) {
            if (l->type() == LayerType::Camera) choices.push_back(l->name);
        }
    }
    return choices;
}

std::shared_ptr<ui::View> Viewer::view() {
    refreshArea();
    return area_;
}

std::shared_ptr<ui::Window> Viewer::window() {
    refreshArea();
    return host_.lock();
}

void Viewer::setFrame(double x, double y, double width, double height) {
    if (!area_) area_ = std::make_shared<ui::View>(ui::Rect{}, "Group");
    area_->setFrame({x, y, width, height});
    refreshArea();
}

void Viewer::refreshArea() {
    // The views are rebuilt only when the layout or the composition changed; a change of camera,
    // active view or camera list updates the existing pop-ups and panes in place, so that the
    // controls others hold (a user's pointer, an accessibility client) stay the same controls.
    const ObjectId comp = FrontComposition();
    const Item* item = CurrentProject().findItem(comp);
    const ViewerState s = state(comp);
    if (!area_) area_ = std::make_shared<ui::View>(ui::Rect{0, 0, 960, 720}, "Group");
    const ui::Rect& frame = area_->frame();
    const std::string shown = std::to_string(comp) + "|" + (item != nullptr ? item->name : "") +
                              "|" + ViewLayoutName(s.layout) + "|" + ui::FormatNumber(frame.width) +
                              "x" + ui::FormatNumber(frame.height);
    if (shown == shown_) {
        UpdateViewerArea(*area_, *this, comp);
        return;
    }
    shown_ = shown;
    BuildViewerArea(*area_, *this, comp);
}

std::string Viewer::describe() const {
    const ObjectId comp = FrontComposition();
    const Composition* c = FindComp(comp);
    if (c == nullptr) return "no composition is open in the viewer";
    const ViewerState s = state(comp);
    std::ostringstream out;
    out << "viewer: " << c->name << ", layout " << ViewLayoutName(s.layout) << ", active view "
        << (s.activePane + 1) << '\n';
    for (size_t i = 0; i < s.panes.size(); ++i) {
        out << "  view " << (i + 1) << ": " << CameraName(comp, s.panes[i])
            << (static_cast<int>(i) == s.activePane ? " [active]" : "") << '\n';
    }
    return out.str();
}

}  // namespace qlo::hostsim
