// What depth of field costs the stand-in host's render of one frame: the demo scene seen through
// its camera with Depth of Field off (today's render), and on with the camera's default aperture
// (25.3) and a wide one (200), at the phones' 480 x 270 and at the viewer's full 1920 x 1080.
// With it on, every 3-D solid off the focus plane is drawn alone, blurred and laid over the frame.
#include <benchmark/benchmark.h>

#include "bench/demo_scene.h"

namespace {

void BM_RenderDepthOfField(benchmark::State& state) {
    const double aperture = static_cast<double>(state.range(0));
    const int downsample = static_cast<int>(state.range(1));
    std::unique_ptr<qlo::hostsim::Project> project = qlo::bench::MakeScene(0);
    auto& comp = const_cast<qlo::hostsim::Composition&>(qlo::bench::SceneComp(*project));
    qlo::hostsim::Layer* camera = comp.layerAt(0);
    for (size_t i = 0; i < comp.numLayers(); ++i) {
        if (comp.layerAt(i)->type() == qlo::hostsim::LayerType::Camera) {
            camera = comp.layerAt(i);
            break;
        }
    }
    camera->set(AEGP_LayerStream_DEPTH_OF_FIELD, qlo::hostsim::Value::One(aperture > 0 ? 1 : 0));
    if (aperture > 0) camera->set(AEGP_LayerStream_APERTURE, qlo::hostsim::Value::One(aperture));
    qlo::hostsim::render::SceneRenderer renderer;
    double t = 0;
    for (auto _ : state) {
        qlo::hostsim::World world(AEGP_WorldType_8, (comp.width + downsample - 1) / downsample,
                                  (comp.height + downsample - 1) / downsample);
        renderer.render8(comp, t, downsample, downsample, world);
        t += 1.0 / 30;
        benchmark::DoNotOptimize(world.data());
    }
    state.counters["aperture"] = aperture;
    state.counters["downsample"] = downsample;
}

// {aperture (0: depth of field off), downsample}
BENCHMARK(BM_RenderDepthOfField)
    ->Args({0, 4})->Args({25, 4})->Args({200, 4})->Args({0, 1})->Args({25, 1})->Args({200, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
