// The pictures of the viewer's panes: what a pane's camera sees, rendered to fit the pane.
#pragma once

#include <memory>
#include <string>

#include "hostsim/app/viewer.h"
#include "hostsim/model/world.h"
#include "hostsim/render/scene_view.h"

namespace qlo::hostsim {

// A standard 3-D view of a composition: "Active Camera" is what the composition is seen
// through (its top-most enabled camera, else the default view); "Front" is the default view;
// "Back", "Left", "Right", "Top" and "Bottom" look at the composition's centre from that side,
// and the custom views from above and in front, all at the default view's distance. An unknown
// name gives the active camera.
render::CameraView StandardView(const Composition& comp, const std::string& name, double seconds);

// What a pane looks through at a time: its camera layer (the active camera when that layer is
// gone) or its standard view.
render::CameraView PaneCameraView(const Composition& comp, const ViewerPane& pane, double seconds);

// The composition at a time seen through the pane's camera, as an 8-bit world no larger than
// maxWidth x maxHeight: rendered at the smallest whole downsample factor that fits. Null when
// the room or the composition has no size.
std::unique_ptr<World> RenderPanePicture(const Composition& comp, const ViewerPane& pane,
                                         double seconds, double maxWidth, double maxHeight);

}  // namespace qlo::hostsim
