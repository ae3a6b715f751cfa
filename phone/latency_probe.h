// Motion-to-photon latency: the time from sending a motion datagram to the first stream frame
// that shows its effect, found from the pictures themselves.
//
// The probe holds the phone still until the frames are stable, measures the frame-to-frame noise
// while still, and sets its change threshold from it. Then, K times: it waits until the picture is
// stable again, keeps the last frame as the reference, sends a step change of orientation
// (alternating between two poses that look clearly different), timestamps the send on the steady
// clock, and compares every following frame with the reference (mean absolute difference of the
// frames' grey grids). The first frame over the threshold gives one latency sample (its arrival
// time minus the send time). A step whose change is not seen within the step timeout counts as
// missed. The result has the samples, their median and 95th percentile.
//
// The probe knows nothing of sockets: the caller hands it every frame with its arrival time
// (steady clock) and gives it a function that sends a pose and returns when it was sent.
// A probe is used from one thread (the one that receives the frames).
#pragma once

#include "phone/frame_difference.h"
#include "phone/motion_datagram.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace qlophone {

struct LatencyResult {
    std::vector<double> samplesMs;  // one per step whose change was seen, in order
    double medianMs = 0.0;          // 0 when there are no samples
    double p95Ms = 0.0;
    size_t missed = 0;              // steps whose change was not seen within the step timeout
    double noise = 0.0;             // largest frame-to-frame difference while still (grey levels)
    double threshold = 0.0;         // difference that counts as "the picture changed"
    double stepChange = 0.0;        // median difference of the frames that ended a step
    std::string problem;            // empty, or why the probe ended early (undecodable frames ...)

    size_t count() const { return samplesMs.size(); }
};

// Median and 95th percentile (linear interpolation between the closest ranks) of `samplesMs`,
// which are kept as given. Both 0 when there are none.
LatencyResult SummarizeLatency(std::vector<double> samplesMs);
// The p-quantile (0..1) of values sorted ascending, interpolated linearly; 0 when empty.
double Quantile(const std::vector<double>& sorted, double p);

struct LatencyProbeSettings {
    size_t steps = 20;                              // K
    MotionSample poseA{};                           // held first
    MotionSample poseB{10.0f, 30.0f, 0.0f, 0.0f, 0.0f, 0.0f};  // tilt 10, pan 30 degrees
    std::chrono::milliseconds warmup{1000};         // after the first pose, before measuring noise
    size_t noiseFrames = 10;                        // frame-to-frame differences measured while still
    double noiseFactor = 3.0;                       // threshold = max(minThreshold, factor x noise)
    double minThreshold = 2.0;                      // grey levels
    std::chrono::milliseconds pause{250};           // hold after each step before the next
    // A step goes out at a random moment up to this long after the frame that allowed it: a
    // frame arrives just after the host's work pass, so sending at once would always wait the
    // longest for the next pass. Spread over one pass interval, the steps sample every phase.
    std::chrono::microseconds stepJitter{16000};
    size_t stableFrames = 3;                        // consecutive quiet frames before a step
    std::chrono::milliseconds stepTimeout{2000};    // a change not seen by then: step missed
    std::chrono::milliseconds settleTimeout{5000};  // the picture never settles: give up
};

class LatencyProbe {
public:
    using Clock = std::chrono::steady_clock;
    // Sends `pose` (e.g. one motion datagram) and returns the steady-clock time of the send.
    using PoseSender = std::function<Clock::time_point(const MotionSample& pose)>;

    LatencyProbe(LatencyProbeSettings settings, PoseSender send);

    // Sends the first pose; call once before the first frame.
    void start(Clock::time_point now);
    // Every received frame with its arrival time, in order.
    void onFrame(Clock::time_point arrived, std::span<const uint8_t> jpeg);
    // All steps are done, or the probe gave up (see LatencyResult::problem).
    bool finished() const { return phase_ == Phase::Done; }
    // The pose the phone should keep sending between steps.
    const MotionSample& heldPose() const { return held_; }
    // What has been measured so far, summarised.
    LatencyResult result() const;

private:
    enum class Phase { Idle, Warmup, Noise, Settling, Waiting, Done };

    void giveUp(std::string why);
    void sendStep(Clock::time_point now);

    LatencyProbeSettings settings_;
    PoseSender send_;
    FrameDecoder decoder_;
    std::mt19937 random_{std::random_device{}()};
    Phase phase_ = Phase::Idle;
    Clock::time_point phaseStart_{};
    Clock::time_point sentAt_{};
    MotionSample held_{};
    bool atB_ = false;
    GrayGrid previous_;
    GrayGrid reference_;
    std::vector<double> noiseWindow_;
    std::vector<double> stepChanges_;
    size_t quietFrames_ = 0;
    size_t stepsDone_ = 0;
    size_t decodeFailures_ = 0;
    size_t decodedFrames_ = 0;
    LatencyResult measured_;
};

}  // namespace qlophone
