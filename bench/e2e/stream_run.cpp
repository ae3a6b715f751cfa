#include "bench/e2e/stream_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <regex>
#include <thread>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "bench/e2e/process.h"
#include "bench/e2e/stats.h"
#include "engine/engine_state.h"
#include "host/plugin.h"
#include "hostsim/app/host_app.h"
#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"
#include "hostsim/suite_registry.h"
#include "hostsim/suites/model_suites.h"
#include "sdk/AE_Suites.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"

namespace qlo::bench {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A plug-in id no real plug-in gets: the timing hooks around the plug-in's idle hook.
constexpr AEGP_PluginID kTimerPlugin = 999'999;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

// CPU time of the calling thread: what it computed, free of the time it waited for a processor.
int64_t ThreadCpuNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// How long the calling thread has been runnable but waiting for a processor, in nanoseconds (the
// kernel's scheduler statistics); 0 where they cannot be read. On a machine shared with other
// work this is the part of a pass that other processes took, not the plug-in.
int64_t ProcessorWaitNs() {
    static const int fd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);  // main thread only
    if (fd < 0) return 0;
    char text[96];
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    text[n] = '\0';
    unsigned long long cpu = 0, wait = 0;
    return std::sscanf(text, "%llu %llu", &cpu, &wait) == 2 ? static_cast<int64_t>(wait) : 0;
}

// One work pass as the hooks saw it.
struct Pass {
    double atSeconds;  // since the recording began
    double ms, activeMs, renderMs, hostMs, ownMs, ownActiveMs, ownCpuMs;
    int renders;
};

// What the hooks around the plug-in's idle hook and the render wrappers record. Main thread only.
struct PassTimes {
    int64_t callStart = 0;
    int64_t cpuStart = 0;
    int64_t captureBefore = 0;
    int64_t renderNs = 0;   // the renderer alone
    int64_t hostNs = 0;     // the host's whole render calls: world checkout, render, check-in
    int64_t hostCpuNs = 0;  // the same in the main thread's CPU time
    int64_t waitStart = 0;  // ProcessorWaitNs at the start of the call
    int64_t hostWaitNs = 0; // the main thread's wait for a processor within the host's render calls
    int renders = 0;
    bool recording = false;
    int64_t recordStart = 0;
    uint64_t idleCalls = 0;
    uint64_t passes = 0;
    std::vector<double> passMs, passActiveMs, renderMs, hostMs, renders_, ownMs, ownActiveMs, ownRendererOnlyMs,
        ownCpuMs;
    std::vector<Pass> all;
};
PassTimes s_times;

A_Err BeforeIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) {
    s_times.waitStart = ProcessorWaitNs();
    s_times.hostWaitNs = 0;
    s_times.callStart = NowNs();
    s_times.cpuStart = ThreadCpuNs();
    s_times.captureBefore = g_lastCaptureTime;
    s_times.renderNs = 0;
    s_times.hostNs = 0;
    s_times.hostCpuNs = 0;
    s_times.renders = 0;
    return A_Err_NONE;
}

A_Err AfterIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) {
    const int64_t end = NowNs();
    const int64_t cpuEnd = ThreadCpuNs();
    if (!s_times.recording) return A_Err_NONE;
    const int64_t waitNs = ProcessorWaitNs() - s_times.waitStart;
    ++s_times.idleCalls;
    if (g_lastCaptureTime == s_times.captureBefore) return A_Err_NONE;  // no work pass in this call
    ++s_times.passes;
    const double ms = static_cast<double>(end - s_times.callStart) / 1e6;
    const double renderMs = static_cast<double>(s_times.renderNs) / 1e6;
    const double hostMs = static_cast<double>(s_times.hostNs) / 1e6;
    // The plug-in's own main-thread time: the pass less the host's render calls within it (the
    // render and the world the host checks out and back in around it), as wall-clock time and as
    // the main thread's CPU time.
    const double ownMs = ms - hostMs;
    const double ownCpuMs = static_cast<double>(cpuEnd - s_times.cpuStart - s_times.hostCpuNs) / 1e6;
    // The same less the time the main thread was ready to run but other work had the processors.
    const double activeMs = ms - static_cast<double>(waitNs) / 1e6;
    const double ownActiveMs = ownMs - static_cast<double>(waitNs - s_times.hostWaitNs) / 1e6;
    s_times.passMs.push_back(ms);
    s_times.passActiveMs.push_back(activeMs);
    s_times.ownActiveMs.push_back(ownActiveMs);
    s_times.renderMs.push_back(renderMs);
    s_times.hostMs.push_back(hostMs);
    s_times.renders_.push_back(s_times.renders);
    s_times.ownMs.push_back(ownMs);
    s_times.ownRendererOnlyMs.push_back(ms - renderMs);
    s_times.ownCpuMs.push_back(ownCpuMs);
    s_times.all.push_back({static_cast<double>(s_times.callStart - s_times.recordStart) / 1e9, ms, activeMs, renderMs,
                           hostMs, ownMs, ownActiveMs, ownCpuMs, s_times.renders});
    return A_Err_NONE;
}

// The host's Render Suite, timed: each checkout (world, render) and check-in (the world freed).
const AEGP_RenderSuite8* s_hostRenderSuite = nullptr;

template <typename Call>
A_Err TimedHostCall(Call&& call) {
    const int64_t waitStart = ProcessorWaitNs();
    const int64_t start = NowNs();
    const int64_t cpuStart = ThreadCpuNs();
    const A_Err err = call();
    s_times.hostCpuNs += ThreadCpuNs() - cpuStart;
    s_times.hostNs += NowNs() - start;
    s_times.hostWaitNs += ProcessorWaitNs() - waitStart;
    return err;
}

A_Err TimedRenderAndCheckout(AEGP_RenderOptionsH options, AEGP_RenderSuiteCheckForCancellation cancel,
                             AEGP_CancelRefcon refcon, AEGP_FrameReceiptH* receipt) {
    return TimedHostCall([&] { return s_hostRenderSuite->AEGP_RenderAndCheckoutFrame(options, cancel, refcon, receipt); });
}

A_Err TimedCheckin(AEGP_FrameReceiptH receipt) {
    return TimedHostCall([&] { return s_hostRenderSuite->AEGP_CheckinFrame(receipt); });
}

A_Err ReceiptWorld(AEGP_FrameReceiptH receipt, AEGP_WorldH* world) {
    return s_hostRenderSuite->AEGP_GetReceiptWorld(receipt, world);
}

const AEGP_RenderSuite8 kTimedRenderSuite = {TimedRenderAndCheckout, TimedCheckin, ReceiptWorld};

// Offers the timed Render Suite in place of the host's (after the host registered its own).
void InstallTimedRenderSuite() {
    s_hostRenderSuite = hostsim::RenderSuite();
    hostsim::SuiteRegistry::instance().add(kAEGPRenderSuite, kAEGPRenderSuiteVersion8, &kTimedRenderSuite);
}

// The longest passes of the run, longest first.
nlohmann::json LongestPasses(std::vector<Pass> passes, size_t count) {
    std::sort(passes.begin(), passes.end(), [](const Pass& a, const Pass& b) { return a.ms > b.ms; });
    nlohmann::json out = nlohmann::json::array();
    for (size_t i = 0; i < std::min(count, passes.size()); ++i) {
        const Pass& p = passes[i];
        out.push_back({{"at_s", p.atSeconds}, {"ms", p.ms}, {"active_ms", p.activeMs}, {"render_ms", p.renderMs},
                       {"host_ms", p.hostMs}, {"own_ms", p.ownMs}, {"own_active_ms", p.ownActiveMs},
                       {"own_cpu_ms", p.ownCpuMs}, {"renders", p.renders}});
    }
    return out;
}

// The stand-in host's renderer, timed.
void InstallTimedRenderer() {
    hostsim::SetFrameRenderer([inner = hostsim::render::MakeSceneRenderer()](
                                  hostsim::Project& project, const hostsim::RenderRequest& request,
                                  hostsim::World& out) {
        const int64_t start = NowNs();
        const A_Err err = inner(project, request, out);
        s_times.renderNs += NowNs() - start;
        ++s_times.renders;
        return err;
    });
}

// The ports the services bound, read from their log lines.
struct Ports {
    std::mutex mutex;
    int http = 0;
    int motion = 0;
};

int PortAfter(const std::string& line, const std::string& prefix) {
    if (line.rfind(prefix, 0) != 0) return 0;
    return std::atoi(line.c_str() + prefix.size());
}

nlohmann::json Summary(const std::vector<double>& v) {
    return {{"median", Median(v)},
            {"p95", Quantile(v, 0.95)},
            {"mean", Mean(v)},
            {"max", v.empty() ? 0.0 : *std::max_element(v.begin(), v.end())},
            {"count", v.size()}};
}

// "stream: 581 frames, ... 58.3 fps over 10.4 s" from a phone's report.
double PhoneFps(const std::string& output) {
    static const std::regex line(R"(stream: (\d+) frames, .* ([0-9.]+) fps over)");
    std::smatch m;
    if (!std::regex_search(output, m, line)) return 0;
    return std::stod(m[2].str());
}

std::string StatsPath(const StreamRunConfig& config, int phone) {
    return config.folder + "/phone-" + std::to_string(phone + 1) + "-stats.json";
}

// The latency samples of every phone, pooled.
nlohmann::json PooledLatency(const StreamRunConfig& config) {
    std::vector<double> samples;
    int64_t missed = 0;
    std::string problems;
    for (int i = 0; i < config.phones; ++i) {
        nlohmann::json stats;
        try {
            stats = nlohmann::json::parse(ReadFile(StatsPath(config, i)));
        } catch (const nlohmann::json::exception&) {
            problems += "phone " + std::to_string(i + 1) + ": no statistics; ";
            continue;
        }
        for (const auto& phone : stats.value("phones", nlohmann::json::array())) {
            const nlohmann::json latency = phone.value("latency", nlohmann::json());
            if (!latency.is_object()) continue;
            for (const auto& v : latency.value("samplesMs", nlohmann::json::array())) samples.push_back(v.get<double>());
            missed += latency.value("missed", 0);
            const std::string problem = latency.value("problem", "");
            if (!problem.empty()) problems += problem + "; ";
        }
    }
    return {{"median_ms", samples.empty() ? -1.0 : Median(samples)},
            {"p95_ms", samples.empty() ? -1.0 : Quantile(samples, 0.95)},
            {"count", samples.size()},
            {"missed", missed},
            {"problems", problems}};
}

}  // namespace

nlohmann::json RunStream(const StreamRunConfig& config) {
    log::SetStderrEnabled(false);
    Ports ports;
    const int sink = log::AddSink([&ports](log::Level, const std::string& line) {
        std::lock_guard<std::mutex> lock(ports.mutex);
        if (int p = PortAfter(line, "[Quillo] MJPEG server listening on port ")) ports.http = p;
        if (int p = PortAfter(line, "[Quillo] MotionReceiver listening on UDP port ")) ports.motion = p;
    });

    QLOSetServicePorts(0, 0);
    hostsim::SetCurrentProject(hostsim::MakeDemoProject());
    auto app = std::make_unique<hostsim::HostApp>();
    InstallTimedRenderer();
    InstallTimedRenderSuite();
    app->hooks().addIdleHook(kTimerPlugin, &BeforeIdle, nullptr);
    app->attachPlugin("Quillo", &EntryPointFunc);
    app->hooks().addIdleHook(kTimerPlugin, &AfterIdle, nullptr);
    app->chooseMenuCommand(kQLOPanelName);  // the panel opens: the services start
    if (g_server != nullptr) g_server->setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
    int httpPort = 0, motionPort = 0;
    {
        std::lock_guard<std::mutex> lock(ports.mutex);
        httpPort = ports.http;
        motionPort = ports.motion;
    }
    nlohmann::json result = {{"phones", config.phones}, {"seconds", config.seconds}};
    if (httpPort == 0 || motionPort == 0) {
        result["error"] = "the plug-in's services did not start";
        log::RemoveSink(sink);
        return result;
    }

    std::vector<std::unique_ptr<Child>> phones;
    for (int i = 0; i < config.phones; ++i) {
        std::vector<std::string> argv = {config.phoneProgram, "--host", "127.0.0.1", "--port",
                                         std::to_string(httpPort), "--motion-port", std::to_string(motionPort),
                                         "--source-ip", "127.0.0." + std::to_string(2 + i), "--name",
                                         "bench-phone-" + std::to_string(i + 1), "--stall-timeout", "10"};
        if (config.latencySteps > 0) {
            for (const std::string& a : {std::string("--stats-json"), StatsPath(config, i), std::string("--latency-steps"),
                                         std::to_string(config.latencySteps)}) {
                argv.push_back(a);
            }
        } else {
            argv.push_back("--duration");
            argv.push_back(std::to_string(config.seconds));
        }
        phones.push_back(std::make_unique<Child>(argv, config.folder + "/phone-" + std::to_string(i + 1) + ".txt"));
    }

    // The host's main loop, as quillo-host runs it, until the phones are done (bounded).
    const auto start = SteadyClock::now();
    const auto recordFrom = start + std::chrono::milliseconds(1500);
    const auto recordUntil = start + std::chrono::milliseconds(static_cast<int64_t>(config.seconds * 1000));
    const auto limit = start + std::chrono::milliseconds(static_cast<int64_t>(config.seconds * 1000) + 20000);
    std::atomic<bool> loadDone{!config.load};
    nlohmann::json loadResult;
    std::thread loadThread;
    double recordedSeconds = 0;
    double wait = 0;
    auto lastCheck = start;
    bool phonesDone = false;
    while (SteadyClock::now() < limit && !(phonesDone && loadDone.load())) {
        const auto now = SteadyClock::now();
        const bool record = now >= recordFrom && now < recordUntil;
        if (record && !s_times.recording) {
            s_times.recording = true;
            s_times.recordStart = NowNs();
            if (config.load) {
                loadThread = std::thread([&] {
                    loadResult = config.load(httpPort);
                    loadDone.store(true);
                });
            }
        }
        if (!record && s_times.recording) {
            s_times.recording = false;
            recordedSeconds = std::chrono::duration<double>(now - recordFrom).count();
        }
        wait = app->runRound(wait).nextWaitSeconds;
        if (now - lastCheck > std::chrono::milliseconds(100)) {
            lastCheck = now;
            phonesDone = true;
            for (auto& p : phones) phonesDone = phonesDone && !p->running();
        }
    }
    if (s_times.recording) {
        s_times.recording = false;
        recordedSeconds = std::chrono::duration<double>(SteadyClock::now() - recordFrom).count();
    }
    if (loadThread.joinable()) loadThread.join();

    std::vector<double> fps;
    for (auto& p : phones) {
        p->wait(std::chrono::milliseconds(5000));
        fps.push_back(PhoneFps(p->output()));
    }
    phones.clear();
    app.reset();
    log::RemoveSink(sink);

    const double seconds = recordedSeconds > 0 ? recordedSeconds : 1;
    result["fps"] = fps;
    result["fps_min"] = fps.empty() ? 0 : *std::min_element(fps.begin(), fps.end());
    result["fps_median"] = Median(fps);
    result["pass_ms"] = Summary(s_times.passMs);
    result["pass_active_ms"] = Summary(s_times.passActiveMs);
    result["render_ms"] = Summary(s_times.renderMs);
    result["host_render_ms"] = Summary(s_times.hostMs);
    result["own_ms"] = Summary(s_times.ownMs);
    result["own_active_ms"] = Summary(s_times.ownActiveMs);
    result["own_renderer_only_ms"] = Summary(s_times.ownRendererOnlyMs);
    result["own_cpu_ms"] = Summary(s_times.ownCpuMs);
    result["longest_passes"] = LongestPasses(s_times.all, 5);
    result["renders_per_pass"] = Mean(s_times.renders_);
    result["passes_per_second"] = static_cast<double>(s_times.passes) / seconds;
    result["idle_calls_per_second"] = static_cast<double>(s_times.idleCalls) / seconds;
    if (config.load) result["load"] = loadResult;
    if (config.latencySteps > 0) result["latency"] = PooledLatency(config);
    return result;
}

}  // namespace qlo::bench
