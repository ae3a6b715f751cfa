#include "bench/demo_scene.h"

namespace qlo::bench {

std::unique_ptr<hostsim::Project> MakeScene(int extraSolids) {
    std::unique_ptr<hostsim::Project> project = hostsim::MakeDemoProject();
    hostsim::Composition& comp = *project->findItemByName("Demo")->asComposition();
    for (int i = 0; i < extraSolids; ++i) {
        // 160 x 160 solids on the floor, 8 to a row, rows going back from the camera.
        const double x = 200 + (i % 8) * 220;
        const double z = 100 + (i / 8) * 260;
        hostsim::Layer& block = comp.addSolid("Bench Block " + std::to_string(i + 1),
                                              hostsim::Value::Rgba(0.2 + 0.1 * (i % 7), 0.5, 0.9 - 0.1 * (i % 5)),
                                              160, 160);
        block.flags |= AEGP_LayerFlag_LAYER_IS_3D;
        block.set(AEGP_LayerStream_POSITION, hostsim::Value::Three(x, 720, z));
    }
    return project;
}

const hostsim::Composition& SceneComp(hostsim::Project& project) {
    return *project.findItemByName("Demo")->asComposition();
}

std::unique_ptr<hostsim::World> MakePhoneWorld(const hostsim::Composition& comp) {
    return std::make_unique<hostsim::World>(AEGP_WorldType_8,
                                            (comp.width + kPhoneDownsample - 1) / kPhoneDownsample,
                                            (comp.height + kPhoneDownsample - 1) / kPhoneDownsample);
}

void RenderPhoneFrame(hostsim::render::SceneRenderer& renderer, const hostsim::Composition& comp,
                      double seconds, hostsim::World& out) {
    renderer.render8(comp, seconds, kPhoneDownsample, kPhoneDownsample, out);
}

}  // namespace qlo::bench
