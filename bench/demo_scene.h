// The scenes the micro-benchmarks work on: the stand-in host's demo composition, optionally with
// extra 3-D solids, rendered the way the plug-in asks for its phones' frames (a quarter of the
// size in both directions, 8 bits per channel: 480 x 270 for the demo).
#pragma once

#include <memory>

#include "hostsim/model/project.h"
#include "hostsim/model/world.h"
#include "hostsim/render/scene_renderer.h"

namespace qlo::bench {

// The downsample factor of the phones' frames.
inline constexpr int kPhoneDownsample = 4;

// The demo project with `extraSolids` more 3-D solids standing in a row across the floor (each
// drawn, none hiding the others entirely).
std::unique_ptr<hostsim::Project> MakeScene(int extraSolids);

// The demo composition of a project made by MakeScene.
const hostsim::Composition& SceneComp(hostsim::Project& project);

// A world of the phones' frame size for the composition.
std::unique_ptr<hostsim::World> MakePhoneWorld(const hostsim::Composition& comp);

// Renders the composition at `seconds` into a phone-sized world.
void RenderPhoneFrame(hostsim::render::SceneRenderer& renderer, const hostsim::Composition& comp,
                      double seconds, hostsim::World& out);

}  // namespace qlo::bench
