#include "phone/options.h"

#include "cli/command_line.h"
#include "phone/motion_sender.h"
#include "phone/number_text.h"
#include "phone/path_csv.h"
#include "phone/socket_io.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cmath>
#include <functional>

namespace qlophone {

namespace {

[[noreturn]] void Refuse(const std::string& message) { throw CLI::ValidationError(message); }

std::chrono::milliseconds Seconds(const std::string& text, double minSeconds, double maxSeconds,
                                  const std::string& refusal) {
    auto value = ParseFiniteDouble(text);
    if (!value || *value < minSeconds || *value > maxSeconds) Refuse(refusal);
    return std::chrono::milliseconds(static_cast<int64_t>(std::llround(*value * 1000.0)));
}

uint16_t Port(const std::string& text, const std::string& flag) {
    auto p = ParsePort(text);
    if (!p) Refuse(flag + " needs a port number 1-65535");
    return *p;
}

// Names travel in JSON request bodies, which carry only valid UTF-8.
bool IsUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

// Runs `parse` on the value as soon as the option is read, so that control actions keep their
// command-line order; `parse` refuses a bad value with Refuse().
void Valued(CLI::App& app, const std::string& flag, const std::string& typeName, const std::string& group,
            const std::string& help, std::function<void(const std::string&)> parse) {
    app.add_option_function<std::string>(flag, std::move(parse), help)
        ->type_name(typeName)
        ->group(group)
        ->trigger_on_parse();
}

void Flag(CLI::App& app, const std::string& flag, const std::string& group, const std::string& help,
          std::function<void()> set) {
    app.add_flag_callback(flag, std::move(set), help)->group(group)->trigger_on_parse();
}

// An action parser of control_requests.h as an option.
template <class Parse>
std::function<void(const std::string&)> Action(Options& o, Parse parse) {
    return [&o, parse](const std::string& v) {
        std::string error;
        auto action = parse(v, error);
        if (!action) Refuse(error);
        o.actions.emplace_back(*action);
    };
}

const char* const kWhere = "Where";
const char* const kWho = "Who";
const char* const kStream = "Stream";
const char* const kStatistics = "Statistics";
const char* const kMotion = "Motion (UDP datagrams of 25 bytes: type, then six little-endian float32)";
const char* const kControl = "Control (done in command-line order, after registering and before the stream)";

// Every option of the program, writing into `o`.
void DefineOptions(CLI::App& app, Options& o) {
    app.description(
        "quillo-phone: a stand-in phone for the Quillo plug-in.\n\n"
        "It connects to the plug-in's HTTP server, registers, opens the MJPEG stream of the composition\n"
        "as seen through its camera and counts the frames, sends its motion as UDP datagrams, and posts\n"
        "control requests (lens, timeline, recording). Every line it prints starts with \"[phone NAME]\".\n");
    app.footer(
        "The motion port is, in this order: the TXT controlPort of a discovered service, the controlPort\n"
        "of GET /info (asked when motion is on), --motion-port.\n\n"
        "Exit status: 0 success (also when ended by Ctrl-C or SIGTERM), 2 bad command line, 3 connection\n"
        "failed or lost (including a stream the server closed or that stalled before --duration or\n"
        "--frames was reached), 4 protocol error (malformed answer, stream framing or JPEG markers; with\n"
        "--stats also frames that cannot be decoded or do not follow the motion), 5 discovery found\n"
        "nothing or the DNS-SD daemon is unreachable, 6 --save-frame, --save-frames or --stats-json could\n"
        "not be written. With --count, the status of the first phone that failed.");

    Valued(app, "--host", "ADDR", kWhere, "numeric IPv4 or IPv6 address of the plug-in (default 127.0.0.1)",
           [&o](const std::string& v) { o.host = v; o.hostGiven = true; });
    Valued(app, "--port", "N", kWhere, "HTTP port (default 8254)",
           [&o](const std::string& v) { o.port = Port(v, "--port"); });
    Flag(app, "--discover", kWhere,
         "find the plug-in by DNS-SD instead: browse \"_quillo._tcp\", resolve it,\n"
         "read TXT app and controlPort (excludes --host)",
         [&o] { o.discover = true; });
    Valued(app, "--discover-timeout", "S", kWhere, "give up discovery after S seconds (default 5)",
           [&o](const std::string& v) {
               o.discoverTimeout = Seconds(v, 0.1, 120.0, "--discover-timeout needs seconds between 0.1 and 120");
           });
    Valued(app, "--service-name", "NAME", kWhere,
           "with --discover, take only the instance of that name\n"
           "(e.g. \"Quillo - After Effects\"; default: the first found)",
           [&o](const std::string& v) { o.serviceName = v; });
    Valued(app, "--source-ip", "ADDR", kWhere,
           "bind the phone's TCP and UDP sockets to this local address, so that\n"
           "several phones can run on one machine (127.0.0.2, 127.0.0.3 ...)",
           [&o](const std::string& v) { o.sourceIp = v; });
    Valued(app, "--count", "N", kWhere,
           "run N phones (1-64) from consecutive IPv4 source addresses starting at\n"
           "--source-ip (default 127.0.0.2), named \"NAME 1\" .. \"NAME N\"; each\n"
           "drives its own camera",
           [&o](const std::string& v) {
               auto n = ParseUnsigned(v, 1, kMaxPhones);
               if (!n) Refuse("--count needs a number of phones from 1 to 64");
               o.count = *n;
           });
    Valued(app, "--timeout", "S", kWhere, "connect/answer limit of each request (default 5)",
           [&o](const std::string& v) { o.timeout = Seconds(v, 0.1, 300.0, "--timeout needs seconds between 0.1 and 300"); });

    Valued(app, "--name", "NAME", kWho,
           "the phone's device name (default \"quillo-phone\"; UTF-8, at most 127 bytes)",
           [&o](const std::string& v) { o.name = v; });
    Valued(app, "--camera", "CAM", kWho,
           "the composition camera to look through (default: the plug-in's choice)",
           [&o](const std::string& v) { o.camera = v; });
    Flag(app, "--register", kWho,
         "also register with --duration 0 (registration is otherwise done only\n"
         "when the stream is opened)",
         [&o] { o.forceRegister = true; });

    Valued(app, "--duration", "S", kStream,
           "how long to stream (default: until Ctrl-C or SIGTERM);\n"
           "0 = only do the control actions, no stream, no motion samples",
           [&o](const std::string& v) {
               auto d = ParseFiniteDouble(v);
               if (!d || *d < 0.0 || *d > 1e7) Refuse("--duration needs seconds >= 0");
               o.duration = *d;
           });
    Valued(app, "--frames", "N", kStream, "end after N frames", [&o](const std::string& v) {
        auto n = ParseUnsigned(v, 1, 1'000'000'000);
        if (!n) Refuse("--frames needs a count of at least 1");
        o.frames = *n;
    });
    Valued(app, "--save-frame", "FILE", kStream, "write the latest JPEG frame to FILE at the end",
           [&o](const std::string& v) {
               if (v.empty()) Refuse("--save-frame needs a file name");
               o.saveFrame = v;
           });
    Valued(app, "--save-frames", "DIR", kStream,
           "write every frame as DIR/NAME-N.jpg (N from 1; characters of the name\n"
           "other than letters, digits, '.', '_' and '-' become '_')",
           [&o](const std::string& v) {
               if (v.empty()) Refuse("--save-frames needs a directory");
               o.saveFrames = v;
           });
    Valued(app, "--stall-timeout", "S", kStream,
           "give up when the stream sends nothing for S seconds (default 30;\n"
           "0 = wait without limit)",
           [&o](const std::string& v) {
               o.stallTimeout = Seconds(v, 0.0, 3600.0, "--stall-timeout needs seconds between 0 and 3600");
           });

    Flag(app, "--stats", kStatistics,
         "print the frame rate and the motion-to-photon latency: the phone holds\n"
         "still until the frames are stable, then steps its orientation between\n"
         "two poses (pan 0/30, tilt 0/10 degrees) K times and times each step\n"
         "from the datagram to the first frame whose picture shows the change;\n"
         "prints the median and the 95th percentile",
         [&o] { o.stats = true; });
    Valued(app, "--latency-steps", "K", kStatistics,
           "steps of the latency measurement (default 20; 0 = frame rate only,\n"
           "the motion path runs as usual). Without --duration or --frames the\n"
           "stream ends when the measurement is complete",
           [&o](const std::string& v) {
               auto n = ParseUnsigned(v, 0, kMaxLatencySteps);
               if (!n) Refuse("--latency-steps needs a count from 0 to 1000");
               o.latencySteps = *n;
           });
    Valued(app, "--stats-json", "FILE", kStatistics, "also write the statistics as JSON to FILE (implies --stats)",
           [&o](const std::string& v) {
               if (v.empty()) Refuse("--stats-json needs a file name");
               o.statsJson = v;
               o.stats = true;
           });

    Valued(app, "--path", "PATH", kMotion,
           "orbit (default): swings around the scene's middle, always turned\n"
           "towards it, rising a little; handheld: held still by hand, with a small\n"
           "smooth shake; still: no movement; or a CSV file of timed samples, one\n"
           "per line \"t,pitch,yaw,roll,x,y,z\" (t seconds from the start,\n"
           "increasing; pitch/yaw/roll the orientation X/Y/Z in degrees; x/y/z the\n"
           "position offsets), linearly interpolated, the last one held; '#' lines\n"
           "and an optional header line are skipped",
           [&o](const std::string& v) {
               o.pathGiven = true;
               std::string error;
               if (v == "orbit") o.path = MotionPath::Orbit();
               else if (v == "handheld") o.path = MotionPath::Handheld(1);
               else if (v == "still") o.path = MotionPath::Still();
               else if (v.empty()) Refuse("--path needs orbit, handheld, still or a CSV file");
               else if (auto samples = LoadPathCsv(v, error)) o.path = MotionPath::Samples(samples);
               else Refuse("--path " + error);
           });
    Valued(app, "--motion-rate", "HZ", kMotion, "samples per second (default 60, 0 = off); sent while the stream runs",
           [&o](const std::string& v) {
               auto r = ParseFiniteDouble(v);
               if (!r || *r < 0.0 || *r > kMaxMotionRateHz) Refuse("--motion-rate needs a rate in Hz from 0 to 1000");
               o.motionRate = *r;
           });
    Flag(app, "--reset", kMotion, "send one reset datagram first", [&o] { o.reset = true; });
    Valued(app, "--motion-port", "N", kMotion,
           "UDP port used when neither the TXT record nor GET /info names one\n(default 8255)",
           [&o](const std::string& v) { o.motionPort = Port(v, "--motion-port"); });

    Valued(app, "--lens", "K=V,...", kControl,
           "POST /camera with any of zoom, focusDistance, aperture, blurLevel\n"
           "(numbers) and dof (true/false), plus the device name",
           Action(o, ParseLensArgument));
    Valued(app, "--timeline", "CMD", kControl,
           "POST /timeline: seek:SECONDS, play, pause, stepForward, stepBack,\n"
           "goToStart, goToEnd (may be repeated)",
           Action(o, ParseTimelineArgument));
    Valued(app, "--seek", "S", kControl, "the same as --timeline seek:S",
           [&o](const std::string& v) {
               auto t = ParseFiniteDouble(v);
               if (!t) Refuse("--seek needs a time in seconds");
               o.actions.emplace_back(TimelineAction{"seek", t});
           });
    Flag(app, "--play", kControl, "the same as --timeline play", [&o] { o.actions.emplace_back(TimelineAction{"play", std::nullopt}); });
    Flag(app, "--pause", kControl, "the same as --timeline pause", [&o] { o.actions.emplace_back(TimelineAction{"pause", std::nullopt}); });
    Valued(app, "--step", "forward|back", kControl, "the same as --timeline stepForward or stepBack", [&o](const std::string& v) {
        if (v != "forward" && v != "back") Refuse("--step needs forward or back");
        o.actions.emplace_back(TimelineAction{v == "forward" ? "stepForward" : "stepBack", std::nullopt});
    });
    Valued(app, "--go-to", "start|end", kControl, "the same as --timeline goToStart or goToEnd", [&o](const std::string& v) {
        if (v != "start" && v != "end") Refuse("--go-to needs start or end");
        o.actions.emplace_back(TimelineAction{v == "start" ? "goToStart" : "goToEnd", std::nullopt});
    });
    Valued(app, "--record", "MODE", kControl, "POST /record: single, start or stop", Action(o, ParseRecordArgument));
    Valued(app, "--get", "WHAT", kControl,
           "GET /info, /cameras or /timeline and print the answer body\n(may be repeated)",
           Action(o, ParseGetArgument));
}

// What no single option can tell: options that exclude or need each other.
void CheckCombinations(const Options& o) {
    if (o.discover && o.hostGiven) Refuse("--host and --discover exclude each other");
    if (!o.serviceName.empty() && !o.discover) Refuse("--service-name only applies with --discover");
    if (!o.discover && !ParseNumericAddress(o.host, o.port)) {
        Refuse("--host needs a numeric IPv4 or IPv6 address, not \"" + o.host + "\"");
    }
    if (o.sourceIp && !ParseNumericAddress(*o.sourceIp, 0)) {
        Refuse("--source-ip needs a numeric IPv4 or IPv6 address, not \"" + *o.sourceIp + "\"");
    }
    if (o.name.empty()) Refuse("--name must not be empty");
    if (!IsUtf8(o.name)) Refuse("--name is not valid UTF-8 (phone names are sent as UTF-8 text)");
    if (o.name.size() > kMaxDeviceNameBytes) Refuse("--name is longer than 127 bytes");
    if (!IsUtf8(o.camera)) Refuse("--camera is not valid UTF-8 (camera names are sent as UTF-8 text)");
    if (o.camera.size() > kMaxCameraNameBytes) Refuse("--camera is longer than 255 bytes");
    if (o.frames && !o.streams()) Refuse("--frames needs the stream, but --duration 0 turns it off");
    if (o.stats && !o.streams()) Refuse("--stats needs the stream, but --duration 0 turns it off");
    if (!o.saveFrames.empty() && !o.streams()) Refuse("--save-frames needs the stream, but --duration 0 turns it off");
    if (o.probesLatency() && o.pathGiven) {
        Refuse("--stats moves the phone itself to measure latency; leave out --path or add --latency-steps 0");
    }
    if (o.probesLatency() && o.motionRate <= 0.0) Refuse("--stats measures latency with motion; --motion-rate 0 turns it off");
    if (o.count > 1 && !o.saveFrame.empty()) Refuse("--save-frame keeps one phone's frame; with --count use --save-frames DIR");
    if (o.count > 1) {
        auto source = ParseNumericAddress(o.sourceIp.value_or("127.0.0.2"), 0);
        if (!source || source->family() != AF_INET) Refuse("--count above 1 needs an IPv4 --source-ip");
    }
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    CLI::App app;
    qlo::cli::Style(app, "quillo-phone");
    DefineOptions(app, parsed.options);
    qlo::cli::AddHelp(app, "Help");
    const qlo::cli::Outcome outcome = qlo::cli::Parse(app, args, [&] { CheckCombinations(parsed.options); });
    parsed.options.help = outcome.help;
    if (!outcome.error.empty()) parsed.failure = {FailureKind::Usage, outcome.error};
    return parsed;
}

std::string HelpText() {
    Options unused;
    CLI::App app;
    qlo::cli::Style(app, "quillo-phone");
    DefineOptions(app, unused);
    qlo::cli::AddHelp(app, "Help");
    return app.help();
}

}  // namespace qlophone
