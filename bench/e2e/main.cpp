// bench_e2e: the end-to-end benchmark driver. `bench_e2e all` runs every end-to-end figure, reads
// bench_micro's JSON, prints the table and writes everything as JSON; `bench_e2e stream` is one
// streaming run in a fresh process (the plug-in's state is process-wide), started by `all`.
//
//   bench_e2e all --bin DIR --micro FILE --out FILE [--smoke]
//   bench_e2e stream --phones N --seconds S --phone PATH --folder DIR --out FILE [--control S]
//                    [--latency-steps K]
//   bench_e2e report --in FILE      (the table of a saved run again)
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>

#include "bench/e2e/footprint.h"
#include "bench/e2e/http_load.h"
#include "bench/e2e/process.h"
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
    try {
        return json::parse(in);
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
    WriteJson(args.at("out"), qb::RunStream(config));
    return 0;
}

// One stream run in its own process, with its files in a folder of its own; its JSON, or
// {"error"} when it failed.
json StreamInChild(const std::string& phone, const std::string& folder, int phones, double seconds,
                   double control = 0, int latencySteps = 0) {
    const std::string kind = control > 0 ? "-control" : latencySteps > 0 ? "-latency" : "";
    const std::string runFolder = folder + "/stream-" + std::to_string(phones) + kind;
    ::mkdir(runFolder.c_str(), 0755);
    const std::string out = runFolder + "/result.json";
    std::vector<std::string> argv = {SelfPath(), "stream", "--phones", std::to_string(phones), "--seconds",
                                     std::to_string(seconds), "--phone", phone, "--folder", runFolder, "--out", out};
    if (control > 0) {
        argv.push_back("--control");
        argv.push_back(std::to_string(control));
    }
    if (latencySteps > 0) {
        argv.push_back("--latency-steps");
        argv.push_back(std::to_string(latencySteps));
    }
    std::cerr << "[bench] streaming with " << phones << " phone(s)"
              << (control > 0 ? ", control load" : latencySteps > 0 ? ", latency steps" : "") << "\n";
    qb::Child child(argv, runFolder + "/run.log");
    const auto status = child.wait(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000) + 60000));
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
    for (int phones : {1, 2, 4, 8}) results["streams"].push_back(StreamInChild(phone, folder, phones, streamSeconds, 0));

    // Motion-to-photon latency, every phone stepping its pose; the floor comes from the passes
    // of the same run.
    const int steps = smoke ? 3 : 20;
    results["latency"] = json::object();
    for (int phones : {1, 4}) {
        const json run = StreamInChild(phone, folder, phones, smoke ? 20 : 60, 0, steps);
        json latency = run.value("latency", json{{"error", run.value("error", "no latency figures")}});
        latency["pass_ms"] = run.value("pass_ms", json());
        latency["render_ms"] = run.value("render_ms", json());
        results["latency"][std::to_string(phones)] = latency;
    }

    const json control = StreamInChild(phone, folder, 4, controlSeconds * 2 + 4, controlSeconds);
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
                 "       bench_e2e stream --phones N --seconds S --phone PATH --folder DIR --out FILE [--control S]\n"
                 "                        [--latency-steps K]\n"
                 "       bench_e2e report --in FILE\n";
    return 2;
}
