#include "phone/options.h"

#include "phone/number_text.h"
#include "phone/motion_sender.h"
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
  --stall-timeout S       give up when the stream sends nothing for S seconds (default 30;
                          0 = wait without limit)

Motion (UDP datagrams of 25 bytes: type, then six little-endian float32):
  --motion-rate HZ        samples per second of a built-in slow orbit (default 60, 0 = off);
                          sent while the stream runs
  --reset                 send one reset datagram first
  --motion-port N         UDP port used when neither the TXT record nor GET /info names one
                          (default 8255)

Control (done in command-line order, after registering and before the stream):
  --lens K=V,...          POST /camera with any of zoom, focusDistance, aperture, blurLevel
                          (numbers) and dof (true/false), plus the device name
  --timeline CMD          POST /timeline: seek:SECONDS, play, pause, stepForward, stepBack,
                          goToStart, goToEnd (may be repeated)
  --record MODE           POST /record: single, start or stop
  --get WHAT              GET /info, /cameras or /timeline and print the answer body
                          (may be repeated)

  --help                  this text

The motion port is, in this order: the TXT controlPort of a discovered service, the controlPort
of GET /info (asked when motion is on), --motion-port.

Exit status: 0 success (also when ended by Ctrl-C or SIGTERM), 2 bad command line, 3 connection
failed or lost (including a stream the server closed or that stalled before --duration or
--frames was reached), 4 protocol error (malformed answer, stream framing or JPEG markers),
5 discovery found nothing or the DNS-SD daemon is unreachable, 6 --save-frame could not be
written.
)";
}

}  // namespace qlophone
