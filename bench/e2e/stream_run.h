// One streaming run: the plug-in inside the stand-in host, in this process (so that every work
// pass and every render can be timed), with `phones` stand-in phone processes streaming from
// their own loopback addresses and sending motion at 60 Hz; optionally control load (wrk)
// against the plug-in's port while they stream, or a motion-to-photon latency measurement.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qlo::bench {

struct StreamRunConfig {
    int phones = 1;
    double seconds = 10;               // how long the phones stream
    std::string phoneProgram;          // quillo-phone
    std::string folder;                // where the phones' output goes
    // Started once the phones stream, with the plug-in's HTTP port; returns its JSON figures.
    // Runs on its own thread while the host's main loop goes on.
    std::function<nlohmann::json(int httpPort)> load;
    // When above 0, every phone measures motion-to-photon latency with this many steps
    // (quillo-phone --stats-json --latency-steps) instead of orbiting, and ends when done;
    // `seconds` is then only the upper bound.
    int latencySteps = 0;
};

// Runs it and gives the figures: per-phone frame rates, work-pass times (whole pass and the
// host's renders within it), passes per second, idle calls per second, the load's figures and
// the latency samples of all phones pooled.
nlohmann::json RunStream(const StreamRunConfig& config);

}  // namespace qlo::bench
