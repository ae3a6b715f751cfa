// How the cost of one phone frame grows with the composition: the stand-in host's render alone
// (on the real host rendering is the host's) and render plus the plug-in's encode, for the demo
// scene with 0 to 64 extra 3-D solids. scripts/bench fits a line through each against the
// number of drawn layers.
#include <benchmark/benchmark.h>

#include "bench/demo_scene.h"
#include "engine/render_push.h"
#include "platform/jpeg.h"

namespace {

// The demo scene draws seven solids (floor, five planes and walls, one floating).
constexpr int kDemoDrawnLayers = 7;

void RenderLoop(benchmark::State& state, bool encode) {
    const int extra = static_cast<int>(state.range(0));
    std::unique_ptr<qlo::hostsim::Project> project = qlo::bench::MakeScene(extra);
    const qlo::hostsim::Composition& comp = qlo::bench::SceneComp(*project);
    qlo::hostsim::render::SceneRenderer renderer;
    qlo::jpeg::Encoder encoder;
    double t = 0;
    for (auto _ : state) {
        // A new world per frame, as the Render Suite checks out one per render.
        std::unique_ptr<qlo::hostsim::World> world = qlo::bench::MakePhoneWorld(comp);
        qlo::bench::RenderPhoneFrame(renderer, comp, t, *world);
        t += 1.0 / 30;  // the red plane turns: every frame differs
        if (encode && !encoder.encodeARGB(world->data(), world->width(), world->height(), world->rowBytes(),
                                          kFrameQuality)) {
            state.SkipWithError(encoder.error().c_str());
            return;
        }
        benchmark::DoNotOptimize(world->data());
    }
    state.counters["layers"] = kDemoDrawnLayers + extra;
}

void BM_Render(benchmark::State& state) { RenderLoop(state, false); }
void BM_RenderEncode(benchmark::State& state) { RenderLoop(state, true); }

BENCHMARK(BM_Render)->Arg(0)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderEncode)->Arg(0)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);

}  // namespace
