#include "phone/options.h"

#include "phone/number_text.h"
#include "phone/motion_sender.h"
#include "phone/path_csv.h"
#include "phone/socket_io.h"

#include <cmath>
#include <functional>
#include <map>

namespace qlophone {

namespace {

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text, double minSeconds, double maxSeconds) {
    auto value = ParseFiniteDouble(text);
    if (!value || *value < minSeconds || *value > maxSeconds) return std::nullopt;
    return std::chrono::milliseconds(static_cast<int64_t>(std::llround(*value * 1000.0)));
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    std::string error;
    auto usage = [&](std::string message) {
        parsed.failure = {FailureKind::Usage, std::move(message)};
        return parsed;
    };

    // Options that take a value, each with the code that stores it; false with `error` set on a
    // bad value.
    using Setter = std::function<bool(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--host", [&](const std::string& v) { o.host = v; o.hostGiven = true; return true; }},
        {"--port", [&](const std::string& v) {
             auto p = ParsePort(v);
             if (p) o.port = *p; else error = "--port needs a port number 1-65535";
             return p.has_value();
         }},
        {"--discover-timeout", [&](const std::string& v) {
             auto t = ParseSeconds(v, 0.1, 120.0);
             if (t) o.discoverTimeout = *t; else error = "--discover-timeout needs seconds between 0.1 and 120";
             return t.has_value();
         }},
        {"--service-name", [&](const std::string& v) { o.serviceName = v; return true; }},
        {"--motion-port", [&](const std::string& v) {
             auto p = ParsePort(v);
             if (p) o.motionPort = *p; else error = "--motion-port needs a port number 1-65535";
             return p.has_value();
         }},
        {"--source-ip", [&](const std::string& v) { o.sourceIp = v; return true; }},
        {"--name", [&](const std::string& v) { o.name = v; return true; }},
        {"--camera", [&](const std::string& v) { o.camera = v; return true; }},
        {"--motion-rate", [&](const std::string& v) {
             auto r = ParseFiniteDouble(v);
             if (r && *r >= 0.0 && *r <= kMaxMotionRateHz) o.motionRate = *r;
             else error = "--motion-rate needs a rate in Hz from 0 to 1000";
             return r && *r >= 0.0 && *r <= kMaxMotionRateHz;
         }},
        {"--lens", [&](const std::string& v) {
             auto a = ParseLensArgument(v, error);
             if (a) o.actions.emplace_back(*a);
             return a.has_value();
         }},
        {"--timeline", [&](const std::string& v) {
             auto a = ParseTimelineArgument(v, error);
             if (a) o.actions.emplace_back(*a);
             return a.has_value();
         }},
        {"--seek", [&](const std::string& v) {
             auto t = ParseFiniteDouble(v);
             if (t) o.actions.emplace_back(TimelineAction{"seek", t}); else error = "--seek needs a time in seconds";
             return t.has_value();
         }},
        {"--step", [&](const std::string& v) {
             if (v != "forward" && v != "back") error = "--step needs forward or back";
             else o.actions.emplace_back(TimelineAction{v == "forward" ? "stepForward" : "stepBack", std::nullopt});
             return v == "forward" || v == "back";
         }},
        {"--go-to", [&](const std::string& v) {
             if (v != "start" && v != "end") error = "--go-to needs start or end";
             else o.actions.emplace_back(TimelineAction{v == "start" ? "goToStart" : "goToEnd", std::nullopt});
             return v == "start" || v == "end";
         }},
        {"--path", [&](const std::string& v) {
             o.pathGiven = true;
             if (v == "orbit") o.path = MotionPath::Orbit();
             else if (v == "handheld") o.path = MotionPath::Handheld(1);
             else if (v == "still") o.path = MotionPath::Still();
             else if (v.empty()) error = "--path needs orbit, handheld, still or a CSV file";
             else if (auto samples = LoadPathCsv(v, error)) o.path = MotionPath::Samples(samples);
             else error = "--path " + error;
             return error.empty();
         }},
        {"--count", [&](const std::string& v) {
             auto n = ParseUnsigned(v, 1, kMaxPhones);
             if (n) o.count = *n; else error = "--count needs a number of phones from 1 to 64";
             return n.has_value();
         }},
        {"--save-frames", [&](const std::string& v) {
             o.saveFrames = v;
             if (v.empty()) error = "--save-frames needs a directory";
             return !v.empty();
         }},
        {"--stats-json", [&](const std::string& v) {
             o.statsJson = v;
             o.stats = true;
             if (v.empty()) error = "--stats-json needs a file name";
             return !v.empty();
         }},
        {"--latency-steps", [&](const std::string& v) {
             auto n = ParseUnsigned(v, 0, kMaxLatencySteps);
             if (n) o.latencySteps = *n; else error = "--latency-steps needs a count from 0 to 1000";
             return n.has_value();
         }},
        {"--record", [&](const std::string& v) {
             auto a = ParseRecordArgument(v, error);
             if (a) o.actions.emplace_back(*a);
             return a.has_value();
         }},
        {"--get", [&](const std::string& v) {
             auto a = ParseGetArgument(v, error);
             if (a) o.actions.emplace_back(*a);
             return a.has_value();
         }},
        {"--duration", [&](const std::string& v) {
             auto d = ParseFiniteDouble(v);
             if (d && *d >= 0.0 && *d <= 1e7) o.duration = *d; else error = "--duration needs seconds >= 0";
             return d && *d >= 0.0 && *d <= 1e7;
         }},
        {"--frames", [&](const std::string& v) {
             auto n = ParseUnsigned(v, 1, 1'000'000'000);
             if (n) o.frames = *n; else error = "--frames needs a count of at least 1";
             return n.has_value();
         }},
        {"--save-frame", [&](const std::string& v) {
             o.saveFrame = v;
             if (v.empty()) error = "--save-frame needs a file name";
             return !v.empty();
         }},
        {"--timeout", [&](const std::string& v) {
             auto t = ParseSeconds(v, 0.1, 300.0);
             if (t) o.timeout = *t; else error = "--timeout needs seconds between 0.1 and 300";
             return t.has_value();
         }},
        {"--stall-timeout", [&](const std::string& v) {
             auto t = ParseSeconds(v, 0.0, 3600.0);
             if (t) o.stallTimeout = *t; else error = "--stall-timeout needs seconds between 0 and 3600";
             return t.has_value();
         }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--discover", [&] { o.discover = true; }},
        {"--reset", [&] { o.reset = true; }},
        {"--register", [&] { o.forceRegister = true; }},
        {"--play", [&] { o.actions.emplace_back(TimelineAction{"play", std::nullopt}); }},
        {"--pause", [&] { o.actions.emplace_back(TimelineAction{"pause", std::nullopt}); }},
        {"--stats", [&] { o.stats = true; }},
        {"--help", [&] { o.help = true; }},
        {"-h", [&] { o.help = true; }},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            if (size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
        }
        if (auto f = flags.find(arg); f != flags.end()) {
            if (inlineValue) return usage(arg + " takes no value");
            f->second();
            continue;
        }
        auto v = valued.find(arg);
        if (v == valued.end()) return usage("unknown option \"" + args[i] + "\" (see --help)");
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usage(arg + " needs a value");
        }
        if (!v->second(value)) return usage(error);
    }
    if (o.help) return parsed;

    if (o.discover && o.hostGiven) return usage("--host and --discover exclude each other");
    if (!o.serviceName.empty() && !o.discover) return usage("--service-name only applies with --discover");
    if (!o.discover && !ParseNumericAddress(o.host, o.port)) {
        return usage("--host needs a numeric IPv4 or IPv6 address, not \"" + o.host + "\"");
    }
    if (o.sourceIp && !ParseNumericAddress(*o.sourceIp, 0)) {
        return usage("--source-ip needs a numeric IPv4 or IPv6 address, not \"" + *o.sourceIp + "\"");
    }
    if (o.name.empty()) return usage("--name must not be empty");
    if (o.name.size() > kMaxDeviceNameBytes) return usage("--name is longer than 127 bytes");
    if (o.camera.size() > kMaxCameraNameBytes) return usage("--camera is longer than 255 bytes");
    if (o.frames && !o.streams()) return usage("--frames needs the stream, but --duration 0 turns it off");
    if (o.stats && !o.streams()) return usage("--stats needs the stream, but --duration 0 turns it off");
    if (!o.saveFrames.empty() && !o.streams()) return usage("--save-frames needs the stream, but --duration 0 turns it off");
    if (o.probesLatency() && o.pathGiven) {
        return usage("--stats moves the phone itself to measure latency; leave out --path or add --latency-steps 0");
    }
    if (o.probesLatency() && o.motionRate <= 0.0) return usage("--stats measures latency with motion; --motion-rate 0 turns it off");
    if (o.count > 1 && !o.saveFrame.empty()) return usage("--save-frame keeps one phone's frame; with --count use --save-frames DIR");
    if (o.count > 1) {
        auto source = ParseNumericAddress(o.sourceIp.value_or("127.0.0.2"), 0);
        if (!source || source->family() != AF_INET) return usage("--count above 1 needs an IPv4 --source-ip");
    }
    return parsed;
}

std::string HelpText() {
    return R"(quillo-phone: a stand-in phone for the Quillo plug-in.

It connects to the plug-in's HTTP server, registers, opens the MJPEG stream of the composition
as seen through its camera and counts the frames, sends its motion as UDP datagrams, and posts
control requests (lens, timeline, recording). Every line it prints starts with "[phone NAME]".

Usage: quillo-phone [options]

Where:
  --host ADDR             numeric IPv4 or IPv6 address of the plug-in (default 127.0.0.1)
  --port N                HTTP port (default 8254)
  --discover              find the plug-in by DNS-SD instead: browse "_quillo._tcp", resolve it,
                          read TXT app and controlPort (excludes --host)
  --discover-timeout S    give up discovery after S seconds (default 5)
  --service-name NAME     with --discover, take only the instance of that name
                          (e.g. "Quillo - After Effects"; default: the first found)
  --source-ip ADDR        bind the phone's TCP and UDP sockets to this local address, so that
                          several phones can run on one machine (127.0.0.2, 127.0.0.3 ...)
  --count N               run N phones (1-64) from consecutive IPv4 source addresses starting at
                          --source-ip (default 127.0.0.2), named "NAME 1" .. "NAME N"; each
                          drives its own camera
  --timeout S             connect/answer limit of each request (default 5)

Who:
  --name NAME             the phone's device name (default "quillo-phone", at most 127 bytes)
  --camera CAM            the composition camera to look through (default: the plug-in's choice)
  --register              also register with --duration 0 (registration is otherwise done only
                          when the stream is opened)

Stream:
  --duration S            how long to stream (default: until Ctrl-C or SIGTERM);
                          0 = only do the control actions, no stream, no motion samples
  --frames N              end after N frames
  --save-frame FILE       write the latest JPEG frame to FILE at the end
  --save-frames DIR       write every frame as DIR/NAME-N.jpg (N from 1; characters of the name
                          other than letters, digits, '.', '_' and '-' become '_')
  --stall-timeout S       give up when the stream sends nothing for S seconds (default 30;
                          0 = wait without limit)

Statistics:
  --stats                 print the frame rate and the motion-to-photon latency: the phone holds
                          still until the frames are stable, then steps its orientation between
                          two poses (pan 0/30, tilt 0/10 degrees) K times and times each step
                          from the datagram to the first frame whose picture shows the change;
                          prints the median and the 95th percentile
  --latency-steps K       steps of the latency measurement (default 20; 0 = frame rate only,
                          the motion path runs as usual). Without --duration or --frames the
                          stream ends when the measurement is complete
  --stats-json FILE       also write the statistics as JSON to FILE (implies --stats)

Motion (UDP datagrams of 25 bytes: type, then six little-endian float32):
  --path PATH             orbit (default): a slow orbit around the scene; handheld: held still
                          by hand, with a small smooth shake; still: no movement; or a CSV file
                          of timed samples, one per line "t,pitch,yaw,roll,x,y,z" (t seconds from
                          the start, increasing; pitch/yaw/roll the orientation X/Y/Z in degrees;
                          x/y/z the position offsets), linearly interpolated, the last one held;
                          '#' lines and an optional header line are skipped
  --motion-rate HZ        samples per second (default 60, 0 = off); sent while the stream runs
  --reset                 send one reset datagram first
  --motion-port N         UDP port used when neither the TXT record nor GET /info names one
                          (default 8255)

Control (done in command-line order, after registering and before the stream):
  --lens K=V,...          POST /camera with any of zoom, focusDistance, aperture, blurLevel
                          (numbers) and dof (true/false), plus the device name
  --timeline CMD          POST /timeline: seek:SECONDS, play, pause, stepForward, stepBack,
                          goToStart, goToEnd (may be repeated)
  --seek S, --play, --pause, --step forward|back, --go-to start|end
                          the same timeline commands, spelt as options
  --record MODE           POST /record: single, start or stop
  --get WHAT              GET /info, /cameras or /timeline and print the answer body
                          (may be repeated)

  --help                  this text

The motion port is, in this order: the TXT controlPort of a discovered service, the controlPort
of GET /info (asked when motion is on), --motion-port.

Exit status: 0 success (also when ended by Ctrl-C or SIGTERM), 2 bad command line, 3 connection
failed or lost (including a stream the server closed or that stalled before --duration or
--frames was reached), 4 protocol error (malformed answer, stream framing or JPEG markers; with
--stats also frames that cannot be decoded or do not follow the motion), 5 discovery found
nothing or the DNS-SD daemon is unreachable, 6 --save-frame, --save-frames or --stats-json could
not be written. With --count, the status of the first phone that failed.
)";
}

}  // namespace qlophone
