#include "phone/phone_session.h"

#include "phone/discovery.h"
#include "phone/frame_saver.h"
#include "phone/percent_encoding.h"

#include <cstdio>
#include <fstream>

namespace qlophone {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

// Bodies are printed on one line and cut when long, so a line stays a line.
std::string ShowBody(const std::string& body) {
    return body.size() > 4000 ? body.substr(0, 4000) + "...(" + std::to_string(body.size()) + " bytes)" : body;
}

}  // namespace

PhoneSession::PhoneSession(Options options, Reporter& reporter, const std::atomic<bool>* stop)
    : options_(std::move(options)), reporter_(reporter), stop_(stop) {}

Failure PhoneSession::findTarget(SessionResult& result) {
    if (options_.sourceIp) result.target.source = ParseNumericAddress(*options_.sourceIp, 0);
    if (options_.sourceIp && !result.target.source) {
        return {FailureKind::Usage, "--source-ip \"" + *options_.sourceIp + "\" is not a numeric address"};
    }
    if (!options_.discover) {
        auto address = ParseNumericAddress(options_.host, options_.port);
        if (!address) return {FailureKind::Usage, "--host \"" + options_.host + "\" is not a numeric address"};
        result.target.address = *address;
        return {};
    }
    DiscoveryRequest request;
    request.serviceName = options_.serviceName;
    request.timeout = options_.discoverTimeout;
    request.family = result.target.source ? result.target.source->family() : AF_UNSPEC;
    request.stop = stop_;
    DiscoveryOutcome found = DiscoverService(request);
    if (found.failure) return found.failure;
    const DiscoveredService& s = found.service;
    result.target.address = s.address;
    reporter_.info("discovered \"" + s.name + "\" on " + s.hostTarget + " port " + std::to_string(s.port) +
                   ", TXT app=" + s.app.value_or("(none)") + " controlPort=" + s.controlPortText.value_or("(none)"));
    if (s.app && *s.app != "aftereffects") reporter_.info("note: TXT app is \"" + *s.app + "\", not \"aftereffects\"");
    if (s.controlPortText && !s.controlPort) {
        reporter_.error("TXT controlPort \"" + *s.controlPortText + "\" is not a port number; ignored");
    }
    txtControlPort_ = s.controlPort;
    return {};
}

Failure PhoneSession::request(const ConnectionTarget& target, const HttpRequest& req, HttpResponse* answer) {
    HttpExchange exchange = PerformRequest(target, req, options_.timeout, stop_);
    if (exchange.failure) return exchange.failure;
    std::string line = req.method + " " + req.path;
    if (!req.body.empty()) line += " " + req.body;
    line += " -> " + exchange.response.head.statusLine() + ": " + ShowBody(exchange.response.body);
    reporter_.info(line);
    Failure check = CheckAnswerFor(req, exchange.response);
    if (!check && answer) *answer = exchange.response;
    return check;
}

Failure PhoneSession::findMotionPort(SessionResult& result) {
    if (txtControlPort_) {
        result.motionPort = txtControlPort_;
        reporter_.info("motion port " + std::to_string(*txtControlPort_) + " (from TXT controlPort)");
        return {};
    }
    HttpResponse answer;
    if (Failure f = request(result.target, InfoRequest(), &answer)) return f;
    InfoAnswer info;
    if (Failure f = CheckInfoAnswer(answer, &info)) return f;
    if (info.controlPort != 0) {
        result.motionPort = info.controlPort;
        reporter_.info("motion port " + std::to_string(info.controlPort) + " (from GET /info)");
    } else {
        result.motionPort = options_.motionPort;
        reporter_.info("motion port " + std::to_string(options_.motionPort) +
                       " (GET /info names none; from --motion-port)");
    }
    return {};
}

Failure PhoneSession::stream(SessionResult& result, MotionSender& motion) {
    const std::string path = BuildStreamPath(options_.name, options_.camera);
    StreamLimits limits;
    limits.maxFrames = options_.frames;
    if (options_.duration) {
        limits.until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*options_.duration));
    }
    limits.connectTimeout = options_.timeout;
    limits.stallTimeout = options_.stallTimeout;
    limits.stop = stop_;

    std::optional<FrameSaver> saver;
    Failure saveFailure;
    if (!options_.saveFrames.empty()) {
        saver.emplace(options_.saveFrames, options_.name);
        std::string error;
        if (!saver->prepare(error)) return {FailureKind::File, error};
    }
    std::optional<LatencyProbe> probe;
    if (options_.probesLatency()) {
        LatencyProbeSettings settings;
        settings.steps = options_.latencySteps;
        probe.emplace(settings, [&motion](const MotionSample& pose) { return motion.hold(pose); });
    }
    // Without a duration or a frame count, a run with the probe ends when the probe is done.
    const bool endWithProbe = probe && !options_.duration && !options_.frames;
    limits.enough = [&] { return saveFailure || (endWithProbe && probe->finished()); };

    reporter_.info("stream: GET " + path);
    result.streamed = true;
    auto sink = [&](std::span<const uint8_t> jpeg) {
        const auto arrived = Clock::now();
        if (result.latestFrame.empty()) reporter_.info("stream: first frame, " + std::to_string(jpeg.size()) + " bytes");
        result.latestFrame.assign(jpeg.begin(), jpeg.end());
        if (probe) probe->onFrame(arrived, jpeg);
        if (saver && !saveFailure) {
            std::string error;
            if (saver->save(jpeg, error)) result.framesSaved = saver->saved();
            else saveFailure = {FailureKind::File, error};
        }
        if (observer_) observer_(jpeg);
    };
    if (probe) probe->start(Clock::now());
    StreamOutcome outcome = RunStream(result.target, path, limits, sink);
    result.stream = outcome.stats;
    if (probe) result.latency = probe->result();
    if (saver) reporter_.info("saved " + std::to_string(saver->saved()) + " frames to " + options_.saveFrames);
    if (saveFailure) return saveFailure;
    // A probe that gave up measured nothing trustworthy: the run did not do what was asked.
    if (result.latency && !result.latency->problem.empty() && outcome.end == StreamEnd::Completed) {
        return {FailureKind::Protocol, "latency: " + result.latency->problem};
    }
    switch (outcome.end) {
        case StreamEnd::Completed:
        case StreamEnd::FrameLimit:
        case StreamEnd::Deadline:
        case StreamEnd::Stopped:
            reporter_.info(outcome.detail);
            return {};
        case StreamEnd::ServerClosed:
        case StreamEnd::Stalled:
            return {FailureKind::Connection, outcome.detail + " after " + std::to_string(outcome.stats.frames) + " frames"};
        case StreamEnd::ConnectFailed: return {FailureKind::Connection, outcome.detail};
        case StreamEnd::ProtocolError: return {FailureKind::Protocol, outcome.detail};
    }
    return {FailureKind::Protocol, outcome.detail};
}

void PhoneSession::reportLatency(const LatencyResult& latency) {
    std::string line = "stats: motion-to-photon latency ";
    if (latency.count() > 0) {
        line += "median " + Fixed(latency.medianMs, 1) + " ms, p95 " + Fixed(latency.p95Ms, 1) + " ms";
    } else {
        line += "not measured";
    }
    line += " over " + std::to_string(latency.count()) + " steps (" + std::to_string(latency.missed) +
            " missed; frame noise " + Fixed(latency.noise, 2) + ", threshold " + Fixed(latency.threshold, 2) +
            ", step change " + Fixed(latency.stepChange, 1) + ")";
    if (!latency.problem.empty()) line += ": " + latency.problem;
    reporter_.info(line);
}

void PhoneSession::reportStream(SessionResult& result) {
    const StreamStats& s = result.stream;
    const double seconds = std::chrono::duration<double>(Clock::now() - s.opened).count();
    double fps = 0.0;
    if (s.frames >= 2) {
        const double span = std::chrono::duration<double>(s.lastFrame - s.firstFrame).count();
        if (span > 0.0) fps = static_cast<double>(s.frames - 1) / span;
    }
    result.fps = fps;
    reporter_.info("stream: " + std::to_string(s.frames) + " frames, " + std::to_string(s.bytesReceived) +
                   " bytes received (" + std::to_string(s.jpegBytes) + " JPEG), " + Fixed(fps, 1) + " fps over " +
                   Fixed(seconds, 1) + " s");
}

Failure PhoneSession::saveFrame(const SessionResult& result) {
    if (options_.saveFrame.empty()) return {};
    if (result.latestFrame.empty()) {
        return {FailureKind::File, "no frame was received, nothing saved to " + options_.saveFrame};
    }
    std::ofstream file(options_.saveFrame, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(result.latestFrame.data()),
               static_cast<std::streamsize>(result.latestFrame.size()));
    file.close();
    if (!file) return {FailureKind::File, "cannot write " + options_.saveFrame};
    reporter_.info("saved the latest frame (" + std::to_string(result.latestFrame.size()) + " bytes) to " +
                   options_.saveFrame);
    return {};
}

SessionResult PhoneSession::run() {
    SessionResult result;
    auto fail = [&](Failure f) {
        if (!result.failure) result.failure = f;
        reporter_.error(f.message);
    };
    if (Failure f = findTarget(result)) {
        fail(f);
        return result;
    }
    std::string where = "target " + result.target.address.text();
    if (result.target.source) where += " from " + result.target.source->hostText();
    reporter_.info(where);

    const bool streams = options_.streams();
    const bool motionOn = (streams && options_.motionRate > 0.0) || options_.reset;
    MotionSender motion;
    auto finish = [&] {
        motion.stop();
        result.motion = motion.counts();
        if (motionOn && !motion.describe().empty()) {
            std::string line = "motion: sent " + std::to_string(result.motion.samples) + " samples and " +
                               std::to_string(result.motion.resets) + " reset on " + motion.describe();
            if (result.motion.failedSends > 0) {
                line += ", " + std::to_string(result.motion.failedSends) + " sends failed (" + result.motion.lastError + ")";
            }
            reporter_.info(line);
        }
        if (result.streamed) reportStream(result);
        if (result.streamed && options_.stats) {
            reporter_.info("stats: " + Fixed(result.fps, 1) + " fps (" + std::to_string(result.stream.frames) + " frames)");
            if (result.latency) reportLatency(*result.latency);
        }
        if (Failure f = saveFrame(result)) fail(f);
        if (!result.failure) reporter_.info("done");
        return result;
    };

    if (motionOn) {
        if (Failure f = findMotionPort(result)) {
            fail(f);
            return finish();
        }
    }
    if (streams || options_.forceRegister) {
        if (Failure f = request(result.target, RegisterRequest(options_.name, options_.camera))) {
            fail(f);
            return finish();
        }
    }
    for (const ControlAction& action : options_.actions) {
        if (Failure f = request(result.target, ActionRequest(action, options_.name))) {
            fail(f);
            return finish();
        }
    }
    if (motionOn) {
        MotionPlan plan;
        plan.target = result.target;
        plan.target.address = result.target.address.withPort(*result.motionPort);
        plan.rateHz = streams ? options_.motionRate : 0.0;
        plan.resetFirst = options_.reset;
        // The latency probe holds its own poses; until it starts the phone keeps still.
        plan.path = options_.probesLatency() ? MotionPath::Still() : options_.path;
        std::string error;
        if (!motion.start(plan, error)) {
            fail({FailureKind::Connection, "motion: " + error});
            return finish();
        }
        const std::string what = options_.probesLatency() ? "latency steps" : plan.path.describe();
        reporter_.info("motion: " + std::string(options_.reset ? "reset sent, " : "") +
                       (plan.rateHz > 0 ? Fixed(plan.rateHz, 1) + " Hz " + what + " on " : "no samples, ") +
                       motion.describe());
    }
    if (streams) {
        if (Failure f = stream(result, motion)) fail(f);
    }
    return finish();
}

}  // namespace qlophone
