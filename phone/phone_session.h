// One run of the phone, in this order: find the plug-in (given address or DNS-SD), learn the
// motion port when motion is on, register, do the control actions, start motion, stream until
// the end condition, stop motion, save the latest frame, and report. With --stats the latency
// probe takes over the motion while the stream runs; with --save-frames every frame is written. The first failure ends the
// run (the frame is still saved and the totals still reported).
#pragma once

#include "phone/failure.h"
#include "phone/latency_probe.h"
#include "phone/motion_sender.h"
#include "phone/options.h"
#include "phone/reporter.h"
#include "phone/stream_client.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace qlophone {

struct SessionResult {
    Failure failure;
    bool streamed = false;
    StreamStats stream;
    std::vector<uint8_t> latestFrame;
    MotionCounts motion;
    ConnectionTarget target;           // where the phone connected
    std::optional<uint16_t> motionPort;
    double fps = 0.0;                  // frames per second between the first and the last frame
    uint64_t framesSaved = 0;          // --save-frames
    std::optional<LatencyResult> latency;  // --stats with latency steps

    int exitCode() const { return ExitCodeFor(failure.kind); }
};

class PhoneSession {
public:
    // `stop` (may be null) ends the stream and the motion when raised, e.g. by SIGINT.
    PhoneSession(Options options, Reporter& reporter, const std::atomic<bool>* stop = nullptr);

    // Also hands every received frame to `sink` (tests use it; the program does not).
    void setFrameObserver(FrameSink sink) { observer_ = std::move(sink); }

    SessionResult run();

private:
    Failure findTarget(SessionResult& result);
    Failure findMotionPort(SessionResult& result);
    Failure request(const ConnectionTarget& target, const HttpRequest& request, HttpResponse* answer = nullptr);
    Failure stream(SessionResult& result, MotionSender& motion);
    Failure saveFrame(const SessionResult& result);
    void reportStream(SessionResult& result);
    void reportLatency(const LatencyResult& latency);

    Options options_;
    Reporter& reporter_;
    const std::atomic<bool>* stop_;
    FrameSink observer_;
    std::optional<uint16_t> txtControlPort_;
};

}  // namespace qlophone
