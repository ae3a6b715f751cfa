// The demo project quillo-host starts with when no project file is given: a scene that reads
// at a glance even at a quarter of its size (480 x 270), so that turning or moving a camera
// shows at once. A grey floor with a light grid (one line every 200 pixels), coloured solids
// standing on it at different depths and heights, and a camera looking down on them at an
// angle.
#include "hostsim/model/project.h"

namespace qlo::hostsim {

namespace {

// A 3-D solid standing with its centre at (x, y, z).
Layer& AddBlock(Composition& comp, const char* name, const Value& color, int width, int height, double x,
                double y, double z) {
    Layer& block = comp.addSolid(name, color, width, height);
    block.flags |= AEGP_LayerFlag_LAYER_IS_3D;
    block.set(AEGP_LayerStream_POSITION, Value::Three(x, y, z));
    return block;
}

}  // namespace

std::unique_ptr<Project> MakeDemoProject() {
    auto project = std::make_unique<Project>();
    project->addFolder("Solids");
    Composition& comp = project->addComposition("Demo", 1920, 1080, 30.0, 10.0);
    project->addFootage("Quillo Logo.png", 512, 512);
    comp.backgroundColor = Value::Rgba(0.11, 0.13, 0.18);

    // Built bottom-up: each add goes on top of the stack, so the camera ends up at index 0.
    // The floor lies at y = 800 (y points down), 6000 x 6000 pixels around (960, 800, 1200);
    // the solids stand on it (their bottoms at y = 800) at growing depths.
    Layer& floor = comp.addSolid("Floor", Value::Rgba(0.37, 0.37, 0.37), 6000, 6000);
    floor.flags |= AEGP_LayerFlag_LAYER_IS_3D;
    floor.set(AEGP_LayerStream_POSITION, Value::Three(960, 800, 1200));
    floor.set(AEGP_LayerStream_ROTATE_X, Value::One(90));
    floor.grid.spacing = 200;
    floor.grid.lineWidth = 8;
    floor.grid.color = Value::Rgba(0.82, 0.84, 0.88);

    // Far back: a tall yellow pillar on the right and a wide purple wall on the left.
    AddBlock(comp, "Yellow Pillar", Value::Rgba(0.98, 0.8, 0.1), 200, 900, 1700, 350, 1800);
    AddBlock(comp, "Purple Wall", Value::Rgba(0.55, 0.25, 0.8), 700, 400, 300, 600, 1500);
    AddBlock(comp, "Blue Plane", Value::Rgba(0.15, 0.3, 0.95), 300, 300, 1360, 650, 900);
    Layer& green = AddBlock(comp, "Green Plane", Value::Rgba(0.2, 0.8, 0.25), 300, 300, 960, 650, 400);
    // The green plane faces the camera a little turned.
    green.set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 30, 0));
    // Floating above the floor, half see-through.
    Layer& ghost = AddBlock(comp, "Cyan Float", Value::Rgba(0.1, 0.85, 0.9), 250, 150, 1250, 300, 200);
    ghost.set(AEGP_LayerStream_OPACITY, Value::One(70));
    Layer& red = AddBlock(comp, "Red Plane", Value::Rgba(0.9, 0.15, 0.1), 300, 300, 560, 650, 0);
    // The red plane turns once around its vertical axis over the composition's duration.
    Stream* spin = red.stream(AEGP_LayerStream_ROTATE_Y);
    spin->setKeyframe(0.0, Value::One(0));
    spin->setKeyframe(10.0, Value::One(360));

    comp.addLight("Light 1", A_FloatPoint{960, 540});

    Layer& camera = comp.addCamera("Camera 1", A_FloatPoint{960, 540});
    camera.set(AEGP_LayerStream_ANCHORPOINT, Value::Three(960, 650, 400));
    camera.set(AEGP_LayerStream_POSITION, Value::Three(960, 250, -2000));

    project->setActiveItem(comp.id());
    project->openInViewer(comp.id());
    return project;
}

}  // namespace qlo::hostsim
