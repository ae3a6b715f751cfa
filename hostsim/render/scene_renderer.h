// quillo-host's renderer: draws a composition at a time, seen through its top-most enabled
// camera (or the default view), into a world. docs/rendering.md describes the camera model,
// the layer model and the drawing order.
#pragma once

#include <vector>

#include "hostsim/model/project.h"
#include "hostsim/model/world.h"
#include "hostsim/render/lens_blur.h"
#include "hostsim/render/scene_view.h"
#include "hostsim/suites/model_suites.h"

namespace qlo::hostsim::render {

class SceneRenderer {
public:
    // Renders request.comp of the project at request.time, downsampled by the request's
    // factors, into `out` (of any world type; sized as the Render Suite sizes it). Returns
    // A_Err_PARAMETER when the composition does not exist, A_Err_GENERIC when the request's
    // cancel function asks to stop (it is asked before each layer), A_Err_NONE otherwise.
    A_Err render(Project& project, const RenderRequest& request, World& out);

    // Renders into an 8-bit world, whose size may be anything (the picture is laid out for
    // the composition's size divided by the downsample factors).
    void render8(const Composition& comp, double seconds, int downsampleX, int downsampleY, World& out,
                 AEGP_RenderSuiteCheckForCancellation cancel = nullptr, AEGP_CancelRefcon refcon = nullptr);

    // The same, seen through `view` instead of the composition's own camera (a viewer pane
    // looking through another camera or a standard view).
    void render8(const Composition& comp, const CameraView& view, double seconds, int downsampleX,
                 int downsampleY, World& out);

    // Whether the last render8 stopped early because it was cancelled.
    bool cancelled() const { return cancelled_; }

private:
    void draw(const Composition& comp, const CameraView& view, double seconds, int downsampleX,
              int downsampleY, World& out, AEGP_RenderSuiteCheckForCancellation cancel,
              AEGP_CancelRefcon refcon);

    std::vector<float> depth_;  // the canvas's inverse-depth buffer, kept between frames
    LensBuffers lens_;          // for layers blurred by depth of field
    bool cancelled_ = false;
};

// A FrameRenderer (for SetFrameRenderer) that renders with one SceneRenderer.
FrameRenderer MakeSceneRenderer();

// Installs MakeSceneRenderer() as the Render Suite's renderer.
void UseSceneRenderer();

}  // namespace qlo::hostsim::render
