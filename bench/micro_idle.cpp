// What the plug-in costs the host's main thread per idle call: a call between work passes (the
// throttle says no), a call that runs a work pass with no phone connected, and, for comparison,
// a call while the panel is closed (services stopped). The idle clock is driven so that each
// benchmark sees only the kind of call it names.
#include <benchmark/benchmark.h>

#include "bench/plugin_host.h"
#include "engine/engine_state.h"
#include "host/plugin.h"

namespace {

int64_t s_clockNs = 1'000'000'000;

void CallIdle() {
    A_long sleep = 50;
    IdleHook(nullptr, nullptr, &sleep);
    benchmark::DoNotOptimize(sleep);
}

void BM_IdleCallNoPass(benchmark::State& state) {
    qlo::bench::PluginHost();
    SetIdleClock([] { return s_clockNs; });
    s_clockNs += 1'000'000'000;
    CallIdle();  // the pass of this clock reading; every later call is throttled
    for (auto _ : state) CallIdle();
    SetIdleClock(nullptr);
}
BENCHMARK(BM_IdleCallNoPass)->Unit(benchmark::kNanosecond);

void BM_WorkPassNoPhone(benchmark::State& state) {
    qlo::bench::PluginHost();
    SetIdleClock([] { return s_clockNs; });
    for (auto _ : state) {
        s_clockNs += kWorkIntervalNs;
        CallIdle();
    }
    SetIdleClock(nullptr);
}
BENCHMARK(BM_WorkPassNoPhone)->Unit(benchmark::kMicrosecond);

void BM_IdleCallPanelClosed(benchmark::State& state) {
    qlo::hostsim::HostApp& host = qlo::bench::PluginHost();
    QLOStopServices();
    for (auto _ : state) CallIdle();
    QLOStartServices();
    (void)host;
}
BENCHMARK(BM_IdleCallPanelClosed)->Unit(benchmark::kNanosecond);

}  // namespace
