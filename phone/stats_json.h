// The machine-readable statistics of a run (--stats-json FILE), for benchmarks:
//
// {
//   "phones": [ { "name": "Phone 1", "source": "127.0.0.2", "exitCode": 0, "error": "",
//                 "frames": 600, "fps": 59.8, "framesSaved": 0,
//                 "latency": { "count": 20, "missed": 0, "medianMs": 31.2, "p95Ms": 48.0,
//                              "noise": 0.0, "threshold": 2.0, "stepChange": 25.0, "samplesMs": [...], "problem": "" }
//               }, ... ],
//   "fps": { "min": 59.1, "mean": 59.6 },
//   "latency": { "count": 80, "missed": 0, "medianMs": 33.0, "p95Ms": 52.1 }
// }
//
// "latency" of a phone is null when it did not measure; the top-level "latency" pools the samples
// of every phone. Times in milliseconds, differences in grey levels (0-255).
#pragma once

#include "phone/failure.h"
#include "phone/options.h"
#include "phone/phone_session.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qlophone {

nlohmann::json LatencyJson(const LatencyResult& latency);
nlohmann::json StatsJson(const std::vector<Options>& phones, const std::vector<SessionResult>& results);
// Writes the JSON (indented) to a temporary file next to `path` and renames it over `path`, so a
// reader never sees half a file. Failure kind File when that fails.
Failure WriteStatsJson(const std::string& path, const nlohmann::json& stats);

}  // namespace qlophone
