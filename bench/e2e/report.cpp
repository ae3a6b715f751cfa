#include "bench/e2e/report.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "bench/e2e/stats.h"

namespace qlo::bench {

namespace {

// The work-pass ceiling: one pass every 16 ms.
constexpr double kCeilingFps = 1000.0 / 16.0;
constexpr double kAverageWaitMs = 8.0;
constexpr double kWorstWaitMs = 16.0;

std::string Num(double v, int decimals = 1) {
    if (!std::isfinite(v) || v < 0) return "n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// A fitted value that may be negative (an intercept).
std::string Signed(double v, int decimals) {
    if (!std::isfinite(v)) return "n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%+.*f", decimals, v);
    return text;
}

// The member `key` of an object, or null (also when `j` is not an object).
nlohmann::json Sub(const nlohmann::json& j, const char* key) {
    return j.is_object() && j.contains(key) ? j[key] : nlohmann::json();
}

struct Row {
    std::string figure, measured, reference, target, verdict;
};

std::string Verdict(bool known, bool met) { return !known ? "not measured" : met ? "met" : "NOT met"; }

const nlohmann::json* StreamWith(const nlohmann::json& results, int phones) {
    if (!results.contains("streams")) return nullptr;
    for (const auto& s : results["streams"]) {
        if (s.value("phones", 0) == phones && !s.contains("error")) return &s;
    }
    return nullptr;
}

double At(const nlohmann::json& j, std::initializer_list<const char*> path) {
    const nlohmann::json* at = &j;
    for (const char* key : path) {
        if (!at->is_object() || !at->contains(key)) return -1;
        at = &(*at)[key];
    }
    return at->is_number() ? at->get<double>() : -1;
}

void LatencyRows(const nlohmann::json& results, std::vector<Row>& rows) {
    for (int phones : {1, 4}) {
        const nlohmann::json* stream = StreamWith(results, phones);
        const nlohmann::json latency = results.contains("latency") ? results["latency"].value(std::to_string(phones), nlohmann::json()) : nlohmann::json();
        const double median = At(latency, {"median_ms"}), p95 = At(latency, {"p95_ms"});
        // The floor from the same run's work passes (renders, encodes and pushes of the pass).
        const double passMedian = stream ? At(*stream, {"pass_ms", "median"}) : -1;
        const double passP95 = stream ? At(*stream, {"pass_ms", "p95"}) : -1;
        const double passes = At(latency, {"pass_ms", "median"});
        const double passesP95 = At(latency, {"pass_ms", "p95"});
        const double floorAvg = kAverageWaitMs + (passes >= 0 ? passes : passMedian);
        const double floorWorst = kWorstWaitMs + (passesP95 >= 0 ? passesP95 : passP95);
        const bool known = median >= 0 && p95 >= 0;
        rows.push_back({"motion-to-photon latency, " + std::to_string(phones) + " phone(s) (median / p95)",
                        known ? Num(median) + " / " + Num(p95) + " ms" : "n/a",
                        "floor " + Num(floorAvg) + " avg / " + Num(floorWorst) + " worst ms",
                        "median <= 1.5x avg floor, p95 <= 1.2x worst floor",
                        known ? Verdict(true, median <= 1.5 * floorAvg && p95 <= 1.2 * floorWorst) + " (" +
                                    Num(median / floorAvg, 2) + "x, " + Num(p95 / floorWorst, 2) + "x)"
                              : Verdict(false, false)});
    }
}

void FpsRows(const nlohmann::json& results, std::vector<Row>& rows) {
    for (int phones : {1, 2, 4, 8, 12, 16}) {
        if (phones == 12 && !StreamWith(results, 12)) continue;  // not in a smoke run
        const bool target = phones <= 4 || phones == 16;
        const nlohmann::json* s = StreamWith(results, phones);
        const double fps = s ? At(*s, {"fps_min"}) : -1;
        const double share = fps / kCeilingFps;
        rows.push_back({"frames per second each phone receives, " + std::to_string(phones) + " phone(s) (lowest)",
                        Num(fps) + " fps (" + Num(share * 100, 0) + "%); passes " +
                            Num(s ? At(*s, {"passes_per_second"}) : -1) + "/s, pass " +
                            Num(s ? At(*s, {"pass_ms", "median"}) : -1, 2) + " ms (render " +
                            Num(s ? At(*s, {"render_ms", "median"}) : -1, 2) + ")",
                        "ceiling " + Num(kCeilingFps) + " fps",
                        target ? ">= 90% of the ceiling" : "stated",
                        target ? Verdict(fps >= 0, share >= 0.9) : (fps >= 0 ? "stated" : "not measured")});
    }
}

void ControlRows(const nlohmann::json& results, std::vector<Row>& rows) {
    for (const char* key : {"timeline", "camera"}) {
        const nlohmann::json q = results.contains("control") ? results["control"].value(key, nlohmann::json()) : nlohmann::json();
        const nlohmann::json n = results.contains("nginx") ? results["nginx"].value(key, nlohmann::json()) : nlohmann::json();
        const double rps = At(q, {"rps"}), p99 = At(q, {"p99_ms"}), ref = At(n, {"rps"});
        const bool known = rps >= 0 && ref > 0 && p99 >= 0;
        rows.push_back({std::string(key) == "timeline" ? "control requests, GET /timeline, 4 phones streaming"
                                                       : "control requests, POST /camera, 4 phones streaming",
                        Num(rps, 0) + " req/s, p99 " + Num(p99, 2) + " ms (" + Num(At(q, {"answer_bytes"}), 0) +
                            " B answers, errors " + Num(At(q, {"errors"}), 0) + ")",
                        "nginx " + Num(ref, 0) + " req/s, p99 " + Num(At(n, {"p99_ms"}), 2) + " ms (" +
                            Num(At(n, {"answer_bytes"}), 0) + " B)",
                        ">= 0.5x nginx, p99 < 10 ms",
                        known ? Verdict(true, rps >= 0.5 * ref && p99 < 10) + " (" + Num(rps / ref, 2) + "x)"
                              : Verdict(false, false)});
    }
}

void IdleRows(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json micro = results.value("micro", nlohmann::json());
    const double noPass = MicroMicroseconds(micro, "BM_IdleCallNoPass");
    const double pass = MicroMicroseconds(micro, "BM_WorkPassNoPhone");
    const double closed = MicroMicroseconds(micro, "BM_IdleCallPanelClosed");
    rows.push_back({"idle call without a work pass (panel open)", Num(noPass * 1000, 0) + " ns",
                    "panel closed: " + Num(closed * 1000, 0) + " ns", "absolute; not measurable on the host",
                    noPass >= 0 ? "stated" : "not measured"});
    rows.push_back({"work pass with no phone", Num(pass, 2) + " us", "none (absolute, per call)",
                    "absolute; not measurable on the host", pass >= 0 ? "stated" : "not measured"});
}

void JpegRow(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json micro = results.value("micro", nlohmann::json());
    const double q = MicroMicroseconds(micro, "BM_EncodeQuillo");
    const double t = MicroMicroseconds(micro, "BM_EncodeTurboJPEG");
    const bool known = q > 0 && t > 0;
    rows.push_back({"JPEG encode of one 480 x 270 world", Num(q, 1) + " us",
                    "bare TurboJPEG " + Num(t, 1) + " us", "within 1.1x",
                    known ? Verdict(true, q <= 1.1 * t) + " (" + Num(q / t, 3) + "x)" : Verdict(false, false)});
    // CPU time of the main thread's own part of a frame, free of other processes' load.
    const double copy = MicroMicroseconds(micro, "BM_FrameCopyForSender");
    rows.push_back({"main thread's hand-off of one 480 x 270 frame (copy for the sender), CPU time",
                    Num(copy, 1) + " us", "the encode it no longer does: " + Num(q, 1) + " us",
                    "<= 100 us", Verdict(copy >= 0, copy <= 100)});
}

void FootprintRow(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json f = results.value("footprint", nlohmann::json());
    if (!f.is_object() || f.contains("error") || f.empty()) {
        rows.push_back({"memory and open files of quillo-host, 4 phones", "n/a", "-", "flat",
                        "not measured" + (f.contains("error") ? " (" + f["error"].get<std::string>() + ")" : "")});
        return;
    }
    const double rss0 = At(f, {"start", "rss_kb"}), rss1 = At(f, {"end", "rss_kb"}), rssMid = At(f, {"middle", "rss_kb"});
    const double fd0 = At(f, {"start", "fds"}), fd1 = At(f, {"end", "fds"});
    // Flat: open files equal, and memory within 1 MiB over the second half of the run.
    const bool flat = fd1 <= fd0 && rss1 - rssMid <= 1024;
    rows.push_back({"memory and open files of quillo-host over " + Num(At(f, {"seconds"}), 0) + " s, 4 phones",
                    "end: " + Num(rss1 / 1024, 1) + " MiB, " + Num(fd1, 0) + " fds (max " +
                        Num(At(f, {"max", "rss_kb"}) / 1024, 1) + " MiB, " + Num(At(f, {"max", "fds"}), 0) + " fds)",
                    "start: " + Num(rss0 / 1024, 1) + " MiB, " + Num(fd0, 0) + " fds (middle " +
                        Num(rssMid / 1024, 1) + " MiB)",
                    "flat: no growth", Verdict(true, flat)});
}

void ScalingRows(nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json micro = results.value("micro", nlohmann::json());
    std::vector<double> layers, renderEncode, render;
    for (int extra : {0, 8, 16, 32, 64}) {
        const double re = MicroMicroseconds(micro, "BM_RenderEncode/" + std::to_string(extra));
        const double r = MicroMicroseconds(micro, "BM_Render/" + std::to_string(extra));
        if (re < 0 || r < 0) continue;
        layers.push_back(7 + extra);
        renderEncode.push_back(re);
        render.push_back(r);
    }
    const LineFit fre = FitLine(layers, renderEncode), fr = FitLine(layers, render);
    rows.push_back({"render + encode time against drawn layers (7..71)",
                    Num(fre.slope, 1) + " us per layer " + Signed(fre.intercept, 0) + " us (r2 " + Num(fre.r2, 3) + ")",
                    "host's render alone: " + Num(fr.slope, 1) + " us per layer " + Signed(fr.intercept, 0) + " us",
                    "linear fit: state the slope", layers.size() >= 2 ? "stated" : "not measured"});
    std::vector<double> phones, pass, renderPart;
    for (int n : {1, 2, 4, 8, 12, 16}) {
        if (const nlohmann::json* s = StreamWith(results, n)) {
            phones.push_back(n);
            pass.push_back(At(*s, {"pass_ms", "median"}));
            renderPart.push_back(At(*s, {"render_ms", "median"}));
        }
    }
    const LineFit fp = FitLine(phones, pass), fpr = FitLine(phones, renderPart);
    rows.push_back({"work-pass time against the number of phones (1..16)",
                    Num(fp.slope, 2) + " ms per phone " + Signed(fp.intercept, 2) + " ms (r2 " + Num(fp.r2, 3) + ")",
                    "of which the host's render: " + Num(fpr.slope, 2) + " ms per phone",
                    "linear fit: state the slope", phones.size() >= 2 ? "stated" : "not measured"});
    results["fits"] = {{"render_encode_us_per_layer", fre.slope}, {"render_us_per_layer", fr.slope},
                       {"pass_ms_per_phone", fp.slope}, {"render_ms_per_phone", fpr.slope}};
}

// The plug-in's own main-thread time per phone: each pass less the host's render calls in it,
// over the phones served, as wall-clock and as the main thread's CPU time; the host's render per
// phone beside it.
void MainThreadRows(const nlohmann::json& results, std::vector<Row>& rows) {
    for (int phones : {8, 16}) {
        const nlohmann::json* s = StreamWith(results, phones);
        const double own = s ? At(*s, {"own_ms", "median"}) / phones : -1;
        const double active = s ? At(*s, {"own_active_ms", "median"}) / phones : -1;
        const double cpu = s ? At(*s, {"own_cpu_ms", "median"}) / phones : -1;
        const double render = s ? At(*s, {"host_render_ms", "median"}) / phones : -1;
        rows.push_back({"plug-in's own main-thread time per phone per work pass, " + std::to_string(phones) +
                            " phones (excluding the host's render)",
                        Num(active, 3) + " ms less the wait for a processor (wall-clock " + Num(own, 3) +
                            " ms; CPU time " + Num(cpu, 3) + " ms)",
                        "host's render call " + Num(render, 3) + " ms per phone", "<= 0.1 ms per phone",
                        Verdict(active >= 0, active <= 0.1)});
    }
}

void StalledRows(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json stalled = Sub(results, "stalled");
    const auto longest = [&](int k, const char* figure) {
        const nlohmann::json run = Sub(stalled, std::to_string(k).c_str());
        return run.is_object() && !run.contains("error") ? At(run, {figure, "max"}) : -1.0;
    };
    const double healthy = longest(0, "pass_active_ms");
    const double healthyWall = longest(0, "pass_ms");
    for (int k : {1, 2, 4}) {
        const nlohmann::json run = Sub(stalled, std::to_string(k).c_str());
        if (run.is_null()) continue;
        const double pause = longest(k, "pass_active_ms");
        const bool known = pause >= 0 && healthy >= 0;
        rows.push_back({"longest work pass with " + std::to_string(k) + " stalled phone(s) and 2 healthy ones",
                        Num(pause, 2) + " ms less the wait for a processor (wall-clock " +
                            Num(longest(k, "pass_ms"), 2) + " ms; healthy phones " + Num(At(run, {"fps_min"})) +
                            " fps; pass median " +
                            Num(At(run, {"pass_ms", "median"}), 2) + " ms; renders a pass " +
                            Num(At(run, {"renders_per_pass"}), 2) + ")",
                        "no stalled phone: " + Num(healthy, 2) + " ms (wall-clock " + Num(healthyWall, 2) + " ms)",
                        "within 2 ms of the healthy pass",
                        known ? Verdict(true, pause <= healthy + 2) : Verdict(false, false)});
    }
}

void ThrottledRow(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json run = Sub(results, "throttled");
    const nlohmann::json slow = Sub(run, "load");
    const double fps = At(slow, {"fps"}), capacity = At(slow, {"capacity_fps"}), healthy = At(run, {"fps_min"});
    const bool connected = slow.is_object() && slow.value("connected", false);
    const bool known = fps >= 0 && capacity > 0 && healthy >= 0;
    rows.push_back({"frames per second of a phone whose link drains 200 KB/s, next to 2 healthy phones",
                    Num(fps) + " fps (" + Num(capacity > 0 ? fps / capacity * 100 : -1, 0) + "% of its link), " +
                        (connected ? "connected" : "DROPPED") + "; healthy phones " + Num(healthy) + " fps",
                    "link capacity " + Num(capacity) + " fps (" + Num(At(slow, {"mean_frame_bytes"}), 0) +
                        " B a frame); ceiling " + Num(kCeilingFps) + " fps",
                    ">= 80% of the link, stays connected; healthy >= 90% of the ceiling",
                    known ? Verdict(true, fps >= 0.8 * capacity && connected && healthy >= 0.9 * kCeilingFps)
                          : Verdict(false, false)});
}

void AbuseRows(const nlohmann::json& results, std::vector<Row>& rows) {
    const nlohmann::json load = Sub(Sub(results, "abuse"), "load");
    const nlohmann::json none = Sub(load, "none");
    for (const char* key : {"trickle", "silent"}) {
        const nlohmann::json q = Sub(load, key);
        const double median = At(q, {"median_ms"}), p99 = At(q, {"p99_ms"});
        rows.push_back({std::string("GET /info latency while 64 connections ") +
                            (std::string(key) == "trickle" ? "trickle control requests" : "stay silent") +
                            " (median / p99)",
                        Num(median, 2) + " / " + Num(p99, 2) + " ms (unanswered within 2 s: " +
                            Num(At(q, {"timeouts"}), 0) + " of " + Num(At(q, {"count"}), 0) + ")",
                        "no such connections: " + Num(At(none, {"median_ms"}), 2) + " / " +
                            Num(At(none, {"p99_ms"}), 2) + " ms",
                        "p99 < 50 ms", Verdict(p99 >= 0, p99 < 50)});
    }
}

// Each row's figure from an earlier run of the same table (the code before a change), if any.
void AddBefore(const nlohmann::json& results, std::vector<Row>& rows) {
    if (!results.contains("before") || !results["before"].is_array()) return;
    for (Row& r : rows) {
        for (const auto& b : results["before"]) {
            if (b.value("figure", "") == r.figure) r.reference += "; before: " + b.value("measured", "");
        }
    }
}

}  // namespace

double MicroMicroseconds(const nlohmann::json& micro, const std::string& name) {
    if (!micro.is_object() || !micro.contains("benchmarks")) return -1;
    // The median of repetitions when there are some, else the single run.
    const nlohmann::json* best = nullptr;
    for (const auto& b : micro["benchmarks"]) {
        if (b.value("run_name", b.value("name", "")) != name) continue;
        if (b.contains("error_occurred") && b["error_occurred"].get<bool>()) return -1;
        const bool median = b.value("run_type", "") == "aggregate" && b.value("aggregate_name", "") == "median";
        if (median) best = &b;
        else if (!best && b.value("run_type", "iteration") == "iteration") best = &b;
    }
    if (!best) return -1;
    // CPU time of the benchmark's thread: the work itself, not the waits another process's load
    // adds on a shared 2-core machine (every one of these benchmarks runs on one thread).
    const double t = best->value("cpu_time", -1.0);
    const std::string unit = best->value("time_unit", "ns");
    if (unit == "ns") return t / 1000;
    if (unit == "ms") return t * 1000;
    if (unit == "s") return t * 1e6;
    return t;
}

std::string BuildReport(nlohmann::json& results) {
    std::vector<Row> rows;
    LatencyRows(results, rows);
    FpsRows(results, rows);
    MainThreadRows(results, rows);
    StalledRows(results, rows);
    ThrottledRow(results, rows);
    AbuseRows(results, rows);
    JpegRow(results, rows);
    ControlRows(results, rows);
    IdleRows(results, rows);
    FootprintRow(results, rows);
    ScalingRows(results, rows);
    AddBefore(results, rows);
    std::ostringstream out;
    out << "| figure | measured | reference in the same run | target | verdict |\n|---|---|---|---|---|\n";
    results["table"] = nlohmann::json::array();
    for (const Row& r : rows) {
        out << "| " << r.figure << " | " << r.measured << " | " << r.reference << " | " << r.target << " | "
            << r.verdict << " |\n";
        results["table"].push_back({{"figure", r.figure}, {"measured", r.measured}, {"reference", r.reference},
                                    {"target", r.target}, {"verdict", r.verdict}});
    }
    return out.str();
}

}  // namespace qlo::bench
