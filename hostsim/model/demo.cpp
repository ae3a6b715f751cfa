// The demo project quillo-host starts with when no project file is given.
#include "hostsim/model/project.h"

namespace qlo::hostsim {

std::unique_ptr<Project> MakeDemoProject() {
    auto project = std::make_unique<Project>();
    project->addFolder("Solids");
    Composition& comp = project->addComposition("Demo", 1920, 1080, 30.0, 10.0);
    project->addFootage("Quillo Logo.png", 512, 512);

    // Built bottom-up: each add goes on top of the stack, so the camera ends up at index 0.
    // The floor lies at y = 800 (y points down), the planes stand on it at growing depths.
    Layer& floor = comp.addSolid("Floor", Value::Rgba(0.5, 0.5, 0.5), 4000, 4000);
    floor.flags |= AEGP_LayerFlag_LAYER_IS_3D;
    floor.set(AEGP_LayerStream_POSITION, Value::Three(960, 800, 600));
    floor.set(AEGP_LayerStream_ROTATE_X, Value::One(90));

    struct PlaneSpec {
        const char* name;
        Value color;
        double x, z;
    };
    const PlaneSpec planes[] = {
        {"Blue Plane", Value::Rgba(0.15, 0.3, 0.95), 1360, 900},
        {"Green Plane", Value::Rgba(0.2, 0.8, 0.25), 960, 400},
        {"Red Plane", Value::Rgba(0.9, 0.15, 0.1), 560, 0},
    };
    for (const PlaneSpec& p : planes) {
        Layer& plane = comp.addSolid(p.name, p.color, 300, 300);
        plane.flags |= AEGP_LayerFlag_LAYER_IS_3D;
        plane.set(AEGP_LayerStream_POSITION, Value::Three(p.x, 650, p.z));
    }
    // The red plane turns once around its vertical axis over the composition's duration.
    Stream* spin = comp.layerAt(0)->stream(AEGP_LayerStream_ROTATE_Y);
    spin->setKeyframe(0.0, Value::One(0));
    spin->setKeyframe(10.0, Value::One(360));
    // The green plane faces the camera a little turned.
    comp.layerAt(1)->set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 30, 0));

    comp.addLight("Light 1", A_FloatPoint{960, 540});

    Layer& camera = comp.addCamera("Camera 1", A_FloatPoint{960, 540});
    camera.set(AEGP_LayerStream_ANCHORPOINT, Value::Three(960, 650, 400));
    camera.set(AEGP_LayerStream_POSITION, Value::Three(960, 250, -2000));

    project->setActiveItem(comp.id());
    project->openInViewer(comp.id());
    return project;
}

}  // namespace qlo::hostsim
