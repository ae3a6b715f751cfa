#include "phone/stats_json.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace qlophone {

nlohmann::json LatencyJson(const LatencyResult& latency) {
    return {{"count", latency.count()},    {"missed", latency.missed},       {"medianMs", latency.medianMs},
            {"p95Ms", latency.p95Ms},      {"noise", latency.noise},         {"threshold", latency.threshold},
            {"stepChange", latency.stepChange},
            {"samplesMs", latency.samplesMs}, {"problem", latency.problem}};
}

nlohmann::json StatsJson(const std::vector<Options>& phones, const std::vector<SessionResult>& results) {
    nlohmann::json list = nlohmann::json::array();
    std::vector<double> pooled;
    size_t missed = 0;
    bool measured = false;
    double fpsSum = 0.0, fpsMin = 0.0;
    for (size_t i = 0; i < phones.size() && i < results.size(); ++i) {
        const SessionResult& r = results[i];
        nlohmann::json phone = {{"name", phones[i].name},
                                {"source", phones[i].sourceIp.value_or("")},
                                {"exitCode", r.exitCode()},
                                {"error", r.failure.message},
                                {"frames", r.stream.frames},
                                {"fps", r.fps},
                                {"framesSaved", r.framesSaved},
                                {"latency", nullptr}};
        if (r.latency) {
            phone["latency"] = LatencyJson(*r.latency);
            pooled.insert(pooled.end(), r.latency->samplesMs.begin(), r.latency->samplesMs.end());
            missed += r.latency->missed;
            measured = true;
        }
        fpsSum += r.fps;
        fpsMin = i == 0 ? r.fps : std::min(fpsMin, r.fps);
        list.push_back(std::move(phone));
    }
    nlohmann::json stats = {{"phones", list},
                            {"fps", {{"min", fpsMin}, {"mean", list.empty() ? 0.0 : fpsSum / static_cast<double>(list.size())}}},
                            {"latency", nullptr}};
    if (measured) {
        const LatencyResult all = SummarizeLatency(pooled);
        stats["latency"] = {{"count", all.count()}, {"missed", missed}, {"medianMs", all.medianMs}, {"p95Ms", all.p95Ms}};
    }
    return stats;
}

Failure WriteStatsJson(const std::string& path, const nlohmann::json& stats) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << stats.dump(2) << "\n";
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return {FailureKind::File, "cannot write the statistics to " + path};
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return {FailureKind::File, "cannot write the statistics to " + path};
    }
    return {};
}

}  // namespace qlophone
