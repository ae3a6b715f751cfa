// One phone frame through the plug-in's own path, as a work pass makes it: the composition
// rendered through the host's Render Suite (quillo-host's scene renderer), the world copied into
// a frame and handed to the phones' senders (none connected: the encode, measured apart in
// BM_RenderEncode, runs on a sender's thread).
#include <benchmark/benchmark.h>

#include "base/suite_handler.h"
#include "bench/plugin_host.h"
#include "engine/render_push.h"
#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"
#include "hostsim/suites/model_suites.h"
#include "engine/engine_state.h"
#include "host/plugin.h"

namespace {

void BM_RenderAndPushFrame(benchmark::State& state) {
    qlo::bench::PluginHost();
    qlo::hostsim::render::UseSceneRenderer();
    const qlo::hostsim::Item* demo = qlo::hostsim::CurrentProject().findItemByName("Demo");
    if (demo == nullptr) {
        state.SkipWithError("the demo project has no composition named Demo");
        return;
    }
    AEGP_SuiteHandler suites(g_basicSuite);
    A_long frame = 0;
    for (auto _ : state) RenderAndPushFrame(suites, qlo::hostsim::ItemHandle(*demo), A_Time{frame++, 30}, kPushToAllPhones);
}
BENCHMARK(BM_RenderAndPushFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
