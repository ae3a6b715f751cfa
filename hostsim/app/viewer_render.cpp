// The pictures of the viewer's panes: the composition seen through each pane's camera, a camera
// layer or a standard 3-D view, rendered by the scene renderer at a size that fits the pane.
#include "hostsim/app/viewer_render.h"

#include <algorithm>
#include <cmath>

#include "hostsim/render/scene_renderer.h"

namespace qlo::hostsim {

namespace {

// The camera layer of the composition with that id; null when it is none.
const Layer* FindCamera(const Composition& comp, ObjectId id) {
    for (const auto& layer : comp.layers()) {
        if (layer->id() == id) return layer->type() == LayerType::Camera ? layer.get() : nullptr;
    }
    return nullptr;
}

}  // namespace

render::CameraView StandardView(const Composition& comp, const std::string& name, double seconds) {
    if (name == kActiveCameraView) return render::ViewAt(comp, seconds);
    // The other standard views look at the composition's centre from a side, at the distance
    // of the default view (so "Front" is the default view itself).
    render::CameraView view = render::DefaultView(comp);
    const render::Vec3 centre{comp.width / 2.0, comp.height / 2.0, 0};
    const double d = view.zoom;
    struct Side {
        const char* name;
        render::Vec3 offset;  // from the centre, in units of d (y grows downward)
    };
    static const Side kSides[] = {
        {"Front", {0, 0, -1}},        {"Back", {0, 0, 1}},          {"Left", {-1, 0, 0}},
        {"Right", {1, 0, 0}},         {"Top", {0, -1, 0}},          {"Bottom", {0, 1, 0}},
        {"Custom View 1", {-0.6, -0.5, -0.62}}, {"Custom View 2", {0.6, -0.5, -0.62}},
        {"Custom View 3", {0, -0.7, -0.7}},
    };
    for (const Side& side : kSides) {
        if (name != side.name) continue;
        view.position = centre + side.offset * d;
        view.rotation = render::AimRotation(view.position, centre);
        view.worldToCamera = view.rotation.transposed();
        return view;
    }
    return render::ViewAt(comp, seconds);
}

render::CameraView PaneCameraView(const Composition& comp, const ViewerPane& pane, double seconds) {
    if (pane.cameraLayer != 0) {
        if (const Layer* camera = FindCamera(comp, pane.cameraLayer)) {
            return render::CameraViewOf(*camera, seconds);
        }
        return render::ViewAt(comp, seconds);  // the camera is gone: the active camera
    }
    return StandardView(comp, pane.standardView, seconds);
}

std::unique_ptr<World> RenderPanePicture(const Composition& comp, const ViewerPane& pane,
                                         double seconds, double maxWidth, double maxHeight) {
    if (!(maxWidth >= 1) || !(maxHeight >= 1) || comp.width < 1 || comp.height < 1) return nullptr;
    // The smallest whole downsample factor at which the picture fits the pane.
    const double ratio = std::max(comp.width / maxWidth, comp.height / maxHeight);
    const int factor = std::max(1, static_cast<int>(std::ceil(ratio - 1e-9)));
    const int width = std::max(1, (comp.width + factor - 1) / factor);
    const int height = std::max(1, (comp.height + factor - 1) / factor);
    auto world = std::make_unique<World>(AEGP_WorldType_8, width, height);
    render::SceneRenderer renderer;
    renderer.render8(comp, PaneCameraView(comp, pane, seconds), seconds, factor, factor, *world);
    return world;
}

}  // namespace qlo::hostsim
