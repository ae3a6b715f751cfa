// The viewer of a composition, as comp.openInViewer() gives it:
//   Viewer: views (an array of View, one per view of the layout), active (whether it is the
//           viewer in front), activeViewIndex (settable, from 0); setActive() brings it to the
//           front
//   View:   active (whether it is the viewer's active view); setActive() makes it the active
//           view; activeCamera: the camera layer the view looks through (null when it shows a
//           standard view such as "Active Camera"); assigning a CameraLayer of the viewer's
//           composition makes the view look through it, assigning anything else throws.
// A View whose place no longer exists (the layout shrank) throws "the view no longer exists".
#include <cmath>
#include <string>

#include "hostsim/app/host_app.h"
#include "hostsim/script/object_model.h"

namespace qlo::hostsim::script {

namespace {

// The viewer and composition a Viewer or View names; null (with the call failed) when gone.
Viewer* Target(NativeCall& call, ObjectId* comp) {
    HostApp* app = HostApp::current();
    if (app == nullptr) {
        Fail(call, "there is no host application");
        return nullptr;
    }
    const Item* item = call.hasSelf ? CurrentProject().findItem(IdOf(call.self)) : nullptr;
    if (item == nullptr || item->asComposition() == nullptr) {
        Fail(call, "Object is invalid");
        return nullptr;
    }
    *comp = item->id();
    return &app->viewer();
}

// The same for a View, checking that its place still exists.
Viewer* ViewTarget(NativeCall& call, ObjectId* comp, ViewerState* state) {
    Viewer* viewer = Target(call, comp);
    if (viewer == nullptr) return nullptr;
    *state = viewer->state(*comp);
    if (call.self.index < 0 || static_cast<size_t>(call.self.index) >= state->panes.size()) {
        Fail(call, "the view no longer exists");
        return nullptr;
    }
    return viewer;
}

bool ViewerViews(NativeCall& call) {
    ObjectId comp = 0;
    Viewer* viewer = Target(call, &comp);
    if (viewer == nullptr) return false;
    return ReturnArray(call, HostClass::View, static_cast<double>(comp),
                       static_cast<int>(viewer->state(comp).panes.size()));
}

bool ViewerActive(NativeCall& call) {
    ObjectId comp = 0;
    return Target(call, &comp) != nullptr && ReturnBool(call, Viewer::FrontComposition() == comp);
}

bool ViewerActiveViewIndex(NativeCall& call) {
    ObjectId comp = 0;
    Viewer* viewer = Target(call, &comp);
    return viewer != nullptr && ReturnNumber(call, viewer->state(comp).activePane);
}

bool ViewerSetActiveViewIndex(NativeCall& call) {
    ObjectId comp = 0;
    Viewer* viewer = Target(call, &comp);
    if (viewer == nullptr) return false;
    double index = -1;
    if (!NumberArg(call, 0, &index) || index != std::floor(index) || index < 0 ||
        !viewer->setActivePane(comp, static_cast<int>(index))) {
        return Fail(call, "Viewer.activeViewIndex: no such view");
    }
    return ReturnUndefined(call);
}

bool ViewerSetActive(NativeCall& call) {
    ObjectId comp = 0;
    Viewer* viewer = Target(call, &comp);
    if (viewer == nullptr) return false;
    CurrentProject().openInViewer(comp);
    viewer->window();
    return ReturnBool(call, true);
}

bool ViewActive(NativeCall& call) {
    ObjectId comp = 0;
    ViewerState state;
    if (ViewTarget(call, &comp, &state) == nullptr) return false;
    return ReturnBool(call, state.activePane == call.self.index);
}

bool ViewSetActive(NativeCall& call) {
    ObjectId comp = 0;
    ViewerState state;
    Viewer* viewer = ViewTarget(call, &comp, &state);
    if (viewer == nullptr) return false;
    viewer->setActivePane(comp, call.self.index);
    return ReturnBool(call, true);
}

bool ViewActiveCamera(NativeCall& call) {
    ObjectId comp = 0;
    ViewerState state;
    if (ViewTarget(call, &comp, &state) == nullptr) return false;
    const ViewerPane& pane = state.panes[static_cast<size_t>(call.self.index)];
    Composition* owner = nullptr;
    const Layer* layer = pane.cameraLayer != 0 ? CurrentProject().findLayer(pane.cameraLayer, &owner) : nullptr;
    if (layer == nullptr || owner == nullptr || owner->id() != comp) return ReturnNull(call);
    return ReturnObject(call, RefOfLayer(*layer));
}

bool ViewSetActiveCamera(NativeCall& call) {
    ObjectId comp = 0;
    ViewerState state;
    Viewer* viewer = ViewTarget(call, &comp, &state);
    if (viewer == nullptr) return false;
    const Value& arg = call.args[0];
    const bool layerArg = call.argc > 0 && arg.kind == Kind::Object && arg.isHost &&
                          IsA(arg.ref.cls, HostClass::Layer);
    if (!layerArg || !viewer->setPaneCamera(comp, call.self.index, IdOf(arg.ref))) {
        return Fail(call, "View.activeCamera: a camera layer of this composition is needed");
    }
    return ReturnUndefined(call);
}

constexpr PropertyDef kViewerProperties[] = {
    {"views", &ViewerViews, nullptr},
    {"active", &ViewerActive, nullptr},
    {"activeViewIndex", &ViewerActiveViewIndex, &ViewerSetActiveViewIndex},
};
constexpr MethodDef kViewerMethods[] = {
    {"setActive", &ViewerSetActive, 0},
};
constexpr PropertyDef kViewProperties[] = {
    {"active", &ViewActive, nullptr},
    {"activeCamera", &ViewActiveCamera, &ViewSetActiveCamera},
};
constexpr MethodDef kViewMethods[] = {
    {"setActive", &ViewSetActive, 0},
};

}  // namespace

const ClassDef kViewerClass{HostClass::Viewer, "Viewer", HostClass::Count, kViewerProperties,
                             kViewerMethods};
const ClassDef kViewClass{HostClass::View, "View", HostClass::Count, kViewProperties, kViewMethods};

}  // namespace qlo::hostsim::script
