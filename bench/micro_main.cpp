// bench_micro's main: Google Benchmark's, then the in-process host ends before the process does.
#include <benchmark/benchmark.h>

#include "bench/plugin_host.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    qlo::bench::EndPluginHost();
    return 0;
}
