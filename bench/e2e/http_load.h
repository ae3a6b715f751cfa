// Control-request load: wrk against a port on 127.0.0.1 (every connection closed after one
// answer, as the plug-in does), and nginx from Debian's package as the reference server, run with
// its own configuration and prefix in a private folder, answering bodies of the plug-in's sizes.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace qlo::bench {

struct LoadSettings {
    std::string wrk = "/usr/bin/wrk";
    int threads = 2;
    int connections = 8;
    double seconds = 5;
    std::string folder;  // for wrk's request scripts
};

// The requests the benchmarks send.
enum class ControlRequest { TimelineGet, CameraPost };
const char* RequestName(ControlRequest request);

// Runs wrk with one request kind; {"rps", "p99_ms", "p50_ms", "requests", "errors", ...}, or
// {"error": ...} when wrk cannot run or prints nothing usable.
nlohmann::json RunWrk(const LoadSettings& settings, int port, ControlRequest request);

// Figures of wrk's report text (exposed for tests): requests per second, latency percentiles in
// milliseconds, socket errors and non-2xx answers.
nlohmann::json ParseWrkReport(const std::string& text);

// The whole answer to one request sent to 127.0.0.1:port (read until the server closes), or
// none when it cannot be had within 2 s.
std::optional<std::string> FetchAnswer(int port, const std::string& request);

// nginx answering GET /timeline with `timelineBody` and POST /camera with "OK", started in
// `folder`, stopped by the destructor.
class ReferenceServer {
public:
    ReferenceServer(const std::string& nginx, const std::string& folder, const std::string& timelineBody);
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    // 0 when it did not come up (see error()).
    int port() const { return port_; }
    const std::string& error() const { return error_; }

private:
    struct Process;
    std::unique_ptr<Process> process_;
    int port_ = 0;
    std::string error_;
};

// The request text of one control request, as wrk sends it (for size checks).
std::string RequestText(ControlRequest request);

}  // namespace qlo::bench
