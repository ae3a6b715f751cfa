// The command line of quillo-phone: what to connect to, who the phone is, what it sends and how
// long it runs. HelpText() is what --help prints.
#pragma once

#include "phone/control_requests.h"
#include "phone/failure.h"
#include "phone/motion_path.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qlophone {

inline constexpr uint16_t kDefaultHttpPort = 8254;
inline constexpr uint16_t kDefaultMotionPort = 8255;
inline constexpr size_t kMaxDeviceNameBytes = 127;  // what the plug-in keeps of a name
inline constexpr size_t kMaxCameraNameBytes = 255;
inline constexpr size_t kMaxPhones = 64;
inline constexpr size_t kMaxLatencySteps = 1000;

struct Options {
    std::string host = "127.0.0.1";
    bool hostGiven = false;
    uint16_t port = kDefaultHttpPort;
    bool discover = false;
    std::chrono::milliseconds discoverTimeout{5000};
    std::string serviceName;  // --service-name, with --discover
    uint16_t motionPort = kDefaultMotionPort;
    std::optional<std::string> sourceIp;
    std::string name = "quillo-phone";
    std::string camera;
    bool forceRegister = false;
    double motionRate = 60.0;
    bool reset = false;
    MotionPath path = MotionPath::Orbit();
    bool pathGiven = false;
    size_t count = 1;                    // phones, from consecutive source addresses
    std::vector<ControlAction> actions;  // in command-line order
    std::optional<double> duration;      // empty: until Ctrl-C / SIGTERM
    std::optional<uint64_t> frames;
    std::string saveFrame;
    std::string saveFrames;              // directory for every frame
    bool stats = false;
    std::string statsJson;               // file for the machine-readable stats
    size_t latencySteps = 20;            // with --stats; 0: frame rate only
    std::chrono::milliseconds timeout{5000};
    std::chrono::milliseconds stallTimeout{30000};
    bool help = false;

    // The stream is opened unless --duration 0.
    bool streams() const { return !duration || *duration > 0.0; }
    // --stats with latency steps: the probe drives the motion instead of the path.
    bool probesLatency() const { return stats && latencySteps > 0; }
};

struct ParsedOptions {
    Options options;
    Failure failure;  // kind Usage with the reason when the command line is wrong
};

// Arguments without the program name. Both "--opt value" and "--opt=value" are accepted.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace qlophone
