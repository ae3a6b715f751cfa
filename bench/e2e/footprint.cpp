#include "bench/e2e/footprint.h"

#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <thread>

#include "bench/e2e/process.h"

namespace qlo::bench {

namespace {

constexpr int kHostPort = 8254;
constexpr int kHostMotionPort = 8255;

long StatusField(const std::string& status, const std::string& key) {
    const size_t at = status.find("\n" + key + ":");
    if (at == std::string::npos) return 0;
    return std::atol(status.c_str() + at + key.size() + 2);
}

nlohmann::json ToJson(const ProcessSample& s) {
    return {{"rss_kb", s.rssKb}, {"fds", s.fds}, {"threads", s.threads}};
}

}  // namespace

ProcessSample SampleProcess(int pid) {
    ProcessSample s;
    const std::string base = "/proc/" + std::to_string(pid);
    const std::string status = "\n" + ReadFile(base + "/status");
    s.rssKb = StatusField(status, "VmRSS");
    s.threads = StatusField(status, "Threads");
    if (DIR* dir = ::opendir((base + "/fd").c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.') ++s.fds;
        }
        ::closedir(dir);
    }
    return s;
}

nlohmann::json RunFootprint(const std::string& hostProgram, const std::string& phoneProgram,
                            const std::string& folder, double seconds, int phones) {
    if (Accepts(kHostPort)) return {{"error", "something already listens on 127.0.0.1:8254"}};
    Child host({hostProgram}, folder + "/quillo-host.txt");
    if (!WaitUntil([&] { return Accepts(kHostPort) || !host.running(); }, std::chrono::milliseconds(10000)) ||
        !host.running()) {
        return {{"error", "quillo-host did not come up: " + host.output().substr(0, 400)}};
    }
    const ProcessSample idle = SampleProcess(host.pid());
    std::vector<std::unique_ptr<Child>> clients;
    for (int i = 0; i < phones; ++i) {
        clients.push_back(std::make_unique<Child>(
            std::vector<std::string>{phoneProgram, "--host", "127.0.0.1", "--port", std::to_string(kHostPort),
                                     "--motion-port", std::to_string(kHostMotionPort), "--source-ip",
                                     "127.0.0." + std::to_string(2 + i), "--name",
                                     "footprint-phone-" + std::to_string(i + 1), "--duration",
                                     std::to_string(seconds), "--stall-timeout", "10"},
            folder + "/footprint-phone-" + std::to_string(i + 1) + ".txt"));
    }
    // The first sample once the phones stream; then one a second until they are done.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(3000, static_cast<int64_t>(seconds * 500))));
    std::vector<ProcessSample> samples{SampleProcess(host.pid())};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    while (std::chrono::steady_clock::now() < end) {
        const bool streaming = std::any_of(clients.begin(), clients.end(), [](auto& c) { return c->running(); });
        if (!streaming) break;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (std::any_of(clients.begin(), clients.end(), [](auto& c) { return c->running(); })) {
            samples.push_back(SampleProcess(host.pid()));
        }
    }
    for (auto& c : clients) c->wait(std::chrono::milliseconds(15000));
    clients.clear();
    const ProcessSample after = SampleProcess(host.pid());
    host.stop(SIGTERM, std::chrono::milliseconds(10000));

    ProcessSample most;
    for (const ProcessSample& s : samples) {
        most.rssKb = std::max(most.rssKb, s.rssKb);
        most.fds = std::max(most.fds, s.fds);
        most.threads = std::max(most.threads, s.threads);
    }
    // Growth over the second half against the first half: a steady climb shows there, warm-up
    // (first allocations of buffers and queues) does not.
    const size_t half = samples.size() / 2;
    const ProcessSample& mid = samples[half];
    return {{"seconds", seconds},
            {"phones", phones},
            {"samples", samples.size()},
            {"before_phones", ToJson(idle)},
            {"start", ToJson(samples.front())},
            {"middle", ToJson(mid)},
            {"end", ToJson(samples.back())},
            {"max", ToJson(most)},
            {"after_phones", ToJson(after)},
            {"rss_growth_kb", samples.back().rssKb - samples.front().rssKb},
            {"rss_growth_second_half_kb", samples.back().rssKb - mid.rssKb},
            {"fd_growth", samples.back().fds - samples.front().fds}};
}

}  // namespace qlo::bench
