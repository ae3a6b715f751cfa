// bench_e2e: the end-to-end benchmark driver. `bench_e2e all` runs every end-to-end figure, reads
// bench_micro's JSON, prints the table and writes everything as JSON; `bench_e2e stream` is one
// streaming run in a fresh process (the plug-in's state is process-wide), started by `all`.
//
//   bench_e2e all --bin DIR --micro FILE --out FILE [--smoke]
//   bench_e2e stream --phones N --seconds S --phone PATH --folder DIR --out FILE [--control S]
//                    [--latency-steps K] [--stalled K] [--throttle BYTES_PER_SECOND] [--abuse N]
//   bench_e2e report --in FILE      (the table of a saved run again)
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "bench/e2e/footprint.h"
#include "bench/e2e/http_load.h"
#include "bench/e2e/process.h"
#include "bench/e2e/raw_clients.h"
#include "bench/e2e/report.h"
#include "bench/e2e/stream_run.h"
#include "link/http_answers.h"

namespace qb = qlo::bench;
using nlohmann::json;

namespace {

using Args = std::map<std::string, std::string>;

// "--key value" pairs and "--flag" (value "1").
Args ParseArgs(int argc, char** argv, int from) {
    Args args;
    for (int i = from; i < argc; ++i) {
        std::string key = argv[i];
        if (key.rfind("--", 0) != 0) continue;
        key = key.substr(2);
        if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) args[key] = argv[++i];
        else args[key] = "1";
    }
    return args;
}

std::string SelfPath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("bench_e2e");
}

json ReadJson(const std::string& path) {
    std::ifstream in(path);
    if (!in) return json();
    std::stringstream text;
    text << in.rdbuf();
    // Google Benchmark writes a counter's undefined aggregate (the spread of a constant) as a bare
    // NaN, which is not JSON: read it as null.
    const std::string cleaned = std::regex_replace(text.str(), std::regex(R"(:\s*-?(NaN|Infinity)\b)"), ": null");
    try {
        return json::parse(cleaned);
    } catch (const json::exception&) {
        return json();
    }
}

void WriteJson(const std::string& path, const json& value) {
    std::ofstream out(path);
    out << value.dump(2) << "\n";
}

int RunStreamCommand(const Args& args) {
    qb::StreamRunConfig config;
    config.phones = std::atoi(args.at("phones").c_str());
    config.seconds = std::atof(args.at("seconds").c_str());
    config.phoneProgram = args.at("phone");
    config.folder = args.at("folder");
    if (args.count("latency-steps")) config.latencySteps = std::atoi(args.at("latency-steps").c_str());
    if (args.count("control")) {
        qb::LoadSettings load;
        load.seconds = std::atof(args.at("control").c_str());
        load.folder = config.folder;
        config.load = [load](int port) {
            return json{{"timeline", qb::RunWrk(load, port, qb::ControlRequest::TimelineGet)},
                        {"camera", qb::RunWrk(load, port, qb::ControlRequest::CameraPost)}};
        };
    }
    // Streams that stop reading, next to the phones, for the whole recorded part of the run.
    if (args.count("stalled")) {
        const int count = std::atoi(args.at("stalled").c_str());
        const double seconds = config.seconds;
        config.load = [count, seconds](int port) {
            qb::StalledStreams stalled(port, count, "Camera%201");
            std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>((seconds - 2) * 1000)));
            return json{{"stalled", stalled.opened()}};
        };
    }
    // One stream read through a link of the given rate, next to the phones.
    if (args.count("throttle")) {
        const double rate = std::atof(args.at("throttle").c_str());
        const double seconds = config.seconds;
        config.load = [rate, seconds](int port) {
            qb::ThrottledStream slow(port, "127.0.1.200", "throttled", "Camera%201", rate);
            std::this_thread::sleep_for(std::chrono::seconds(2));  // the first frames fill the buffers
            slow.startWindow();
            std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>((seconds - 5) * 1000)));
            return slow.stopWindow();
        };
    }
    // GET /info latency with no other connection, while N connections trickle control requests,
    // and while N connections stay silent.
    if (args.count("abuse")) {
        const int count = std::atoi(args.at("abuse").c_str());
        const int samples = std::atoi(args.count("probes") ? args.at("probes").c_str() : "40");
        config.load = [count, samples](int port) {
            json out;
            out["none"] = qb::ProbeInfoLatency(port, samples, 50, 2000);
            for (const auto& [key, kind] : {std::pair{"trickle", qb::AbusiveConnections::Kind::Trickle},
                                            std::pair{"silent", qb::AbusiveConnections::Kind::Silent}}) {
                qb::AbusiveConnections abuse(port, count, kind);
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                out[key] = qb::ProbeInfoLatency(port, samples, 50, 2000);
            }
            out["connections"] = count;
            return out;
        };
    }
    WriteJson(args.at("out"), qb::RunStream(config));
    return 0;
}

// One stream run in its own process, with its files in a folder of its own; its JSON, or
// {"error"} when it failed. `kind` names the run's folder; `extra` are further arguments.
json StreamInChild(const std::string& phone, const std::string& folder, int phones, double seconds,
                   const std::string& kind = "", const std::vector<std::string>& extra = {}) {
    const std::string runFolder = folder + "/stream-" + std::to_string(phones) + (kind.empty() ? "" : "-" + kind);
    ::mkdir(runFolder.c_str(), 0755);
    const std::string out = runFolder + "/result.json";
    std::vector<std::string> argv = {SelfPath(), "stream", "--phones", std::to_string(phones), "--seconds",
                                     std::to_string(seconds), "--phone", phone, "--folder", runFolder, "--out", out};
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::cerr << "[bench] streaming with " << phones << " phone(s)" << (kind.empty() ? "" : ", " + kind) << "\n";
    qb::Child child(argv, runFolder + "/run.log");
    const auto status = child.wait(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000) + 90000));
    json result = ReadJson(out);
    if (!status || *status != 0 || result.is_null()) {
        return {{"phones", phones}, {"error", "stream run failed (see " + child.outputPath() + ")"}};
    }
    return result;
}

int RunAll(const Args& args) {
    const bool smoke = args.count("smoke") != 0;
    const std::string bin = args.at("bin");
    const std::string phone = bin + "/quillo-phone";
    const std::string folder = qb::MakeRunFolder("quillo-bench");
    const double streamSeconds = smoke ? 3 : 12;
    const double controlSeconds = smoke ? 1 : 5;
    const double footprintSeconds = args.count("footprint-seconds") ? std::atof(args.at("footprint-seconds").c_str())
                                                                    : (smoke ? 4 : 120);
    std::cerr << "[bench] files of this run: " << folder << "\n";

    json results;
    results["machine"] = {{"cores", static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN))},
                          {"load_average_at_start", qb::ReadFile("/proc/loadavg")}};
    results["micro"] = ReadJson(args.at("micro"));
    results["streams"] = json::array();
    const std::vector<int> phoneCounts = smoke ? std::vector<int>{1, 2, 4, 8, 16} : std::vector<int>{1, 2, 4, 8, 12, 16};
    for (int phones : phoneCounts) results["streams"].push_back(StreamInChild(phone, folder, phones, streamSeconds));

    // k streams that stop reading next to 2 healthy phones: the longest work pass of each run.
    results["stalled"] = json::object();
    for (int k : smoke ? std::vector<int>{0, 1} : std::vector<int>{0, 1, 2, 4}) {
        results["stalled"][std::to_string(k)] =
            StreamInChild(phone, folder, 2, smoke ? 4 : 10, "stalled-" + std::to_string(k), {"--stalled", std::to_string(k)});
    }
    // A stream read at about 200 KB/s next to 2 healthy phones.
    results["throttled"] = StreamInChild(phone, folder, 2, smoke ? 7 : 14, "throttled", {"--throttle", "200000"});
    // GET /info while 64 connections trickle control requests, or stay silent.
    results["abuse"] = StreamInChild(phone, folder, 2, smoke ? 6 : 20, "abuse",
                                     {"--abuse", "64", "--probes", smoke ? "5" : "40"});

    // Motion-to-photon latency, every phone stepping its pose; the floor comes from the passes
    // of the same run.
    const int steps = smoke ? 3 : 20;
    results["latency"] = json::object();
    for (int phones : {1, 4}) {
        const json run = StreamInChild(phone, folder, phones, smoke ? 20 : 60, "latency",
                                       {"--latency-steps", std::to_string(steps)});
        json latency = run.value("latency", json{{"error", run.value("error", "no latency figures")}});
        latency["pass_ms"] = run.value("pass_ms", json());
        latency["render_ms"] = run.value("render_ms", json());
        results["latency"][std::to_string(phones)] = latency;
    }

    const json control = StreamInChild(phone, folder, 4, controlSeconds * 2 + 4, "control",
                                       {"--control", std::to_string(controlSeconds)});
    results["control"] = control.value("load", json{{"error", "no control figures"}});

    // The reference: nginx with bodies of the plug-in's sizes, the same wrk settings.
    const std::string nginxFolder = folder + "/nginx";
    ::mkdir(nginxFolder.c_str(), 0755);
    {
        const std::string body = FormatTimelineBody(TimelineState{0.0, 10.0, 30.0, false});
        qb::ReferenceServer nginx(args.count("nginx") ? args.at("nginx") : "/usr/sbin/nginx", nginxFolder, body);
        if (nginx.port() == 0) {
            results["nginx"] = {{"error", nginx.error()}};
        } else {
            qb::LoadSettings load;
            load.seconds = controlSeconds;
            load.folder = nginxFolder;
            std::cerr << "[bench] nginx reference\n";
            results["nginx"] = {{"timeline", qb::RunWrk(load, nginx.port(), qb::ControlRequest::TimelineGet)},
                                {"camera", qb::RunWrk(load, nginx.port(), qb::ControlRequest::CameraPost)}};
        }
    }

    if (footprintSeconds > 0) {
        std::cerr << "[bench] quillo-host footprint over " << footprintSeconds << " s\n";
        results["footprint"] = qb::RunFootprint(bin + "/quillo-host", phone, folder, footprintSeconds, 4);
    } else {
        results["footprint"] = {{"error", "left out: quillo-host's fixed ports need scripts/netns-run (root)"}};
    }

    results["machine"]["load_average_at_end"] = qb::ReadFile("/proc/loadavg");
    // Figures of an earlier run (the code before a change) go into the reference column.
    if (args.count("before")) results["before"] = ReadJson(args.at("before")).value("table", json::array());
    const std::string table = qb::BuildReport(results);
    results["smoke"] = smoke;
    WriteJson(args.at("out"), results);
    std::cout << table;
    return 0;
}

// Prints the table of a saved run again (after a change to the table's layout).
int ReprintReport(const Args& args) {
    json results = ReadJson(args.at("in"));
    if (results.is_null()) throw std::runtime_error("cannot read " + args.at("in"));
    if (args.count("before")) results["before"] = ReadJson(args.at("before")).value("table", json::array());
    std::cout << qb::BuildReport(results);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const Args args = ParseArgs(argc, argv, 2);
    try {
        if (command == "stream") return RunStreamCommand(args);
        if (command == "all") return RunAll(args);
        if (command == "report") return ReprintReport(args);
    } catch (const std::exception& e) {
        std::cerr << "bench_e2e: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: bench_e2e all --bin DIR --micro FILE --out FILE [--smoke] [--footprint-seconds S]\n"
                 "                     [--before FILE]\n"
                 "       bench_e2e stream --phones N --seconds S --phone PATH --folder DIR --out FILE [--control S]\n"
                 "                        [--latency-steps K] [--stalled K] [--throttle B/s] [--abuse N]\n"
                 "       bench_e2e report --in FILE [--before FILE]\n";
    return 2;
}
