// The benchmark table: every figure next to its reference from the same run and its target,
// printed as Markdown and kept as JSON.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace qlo::bench {

// `results` holds the parts the driver measured: "micro" (Google Benchmark's JSON), "streams"
// (one stream run per phone count), "control", "nginx", "footprint", "latency". Adds "table"
// (the rows as JSON) to it and returns the Markdown text.
std::string BuildReport(nlohmann::json& results);

// The time of one Google Benchmark entry in microseconds (CPU time of its thread), or a negative number when
// the entry is missing.
double MicroMicroseconds(const nlohmann::json& micro, const std::string& name);

}  // namespace qlo::bench
