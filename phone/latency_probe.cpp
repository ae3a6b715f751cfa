#include "phone/latency_probe.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace qlophone {

double Quantile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0.0;
    const double position = std::clamp(p, 0.0, 1.0) * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(std::floor(position));
    const size_t above = std::min(below + 1, sorted.size() - 1);
    const double fraction = position - static_cast<double>(below);
    return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

LatencyResult SummarizeLatency(std::vector<double> samplesMs) {
    LatencyResult result;
    std::vector<double> sorted = samplesMs;
    std::sort(sorted.begin(), sorted.end());
    result.medianMs = Quantile(sorted, 0.5);
    result.p95Ms = Quantile(sorted, 0.95);
    result.samplesMs = std::move(samplesMs);
    return result;
}

LatencyProbe::LatencyProbe(LatencyProbeSettings settings, PoseSender send)
    : settings_(std::move(settings)), send_(std::move(send)) {
    settings_.noiseFrames = std::max<size_t>(settings_.noiseFrames, 1);
}

void LatencyProbe::start(Clock::time_point now) {
    held_ = settings_.poseA;
    atB_ = false;
    if (send_) send_(held_);
    phase_ = settings_.steps == 0 ? Phase::Done : Phase::Warmup;
    phaseStart_ = now;
}

void LatencyProbe::giveUp(std::string why) {
    measured_.problem = std::move(why);
    phase_ = Phase::Done;
}

void LatencyProbe::sendStep(Clock::time_point now) {
    if (settings_.stepJitter.count() > 0) {
        std::uniform_int_distribution<long long> wait(0, settings_.stepJitter.count());
        std::this_thread::sleep_for(std::chrono::microseconds(wait(random_)));
        now = Clock::now();
    }
    atB_ = !atB_;
    held_ = atB_ ? settings_.poseB : settings_.poseA;
    sentAt_ = send_ ? send_(held_) : now;
    phase_ = Phase::Waiting;
}

void LatencyProbe::onFrame(Clock::time_point arrived, std::span<const uint8_t> jpeg) {
    if (phase_ == Phase::Idle || phase_ == Phase::Done) return;
    std::string error;
    std::optional<GrayGrid> grid = decoder_.decode(jpeg, error);
    if (!grid) {
        // A stray bad frame is skipped; a stream of them means there is nothing to measure.
        if (++decodeFailures_ >= 10 && decodedFrames_ == 0) giveUp("frames cannot be decoded: " + error);
        return;
    }
    ++decodedFrames_;
    const bool havePrevious = !previous_.empty();
    const double change = havePrevious ? MeanAbsoluteDifference(*grid, previous_) : 0.0;
    previous_ = *grid;

    switch (phase_) {
        case Phase::Warmup:
            if (arrived - phaseStart_ >= settings_.warmup) {
                phase_ = Phase::Noise;
                noiseWindow_.clear();
            }
            break;
        case Phase::Noise:
            if (!havePrevious) break;
            noiseWindow_.push_back(change);
            if (noiseWindow_.size() >= settings_.noiseFrames) {
                measured_.noise = *std::max_element(noiseWindow_.begin(), noiseWindow_.end());
                measured_.threshold = std::max(settings_.minThreshold, settings_.noiseFactor * measured_.noise);
                if (!std::isfinite(measured_.threshold)) {
                    giveUp("the frames changed size while the phone held still");
                    break;
                }
                phase_ = Phase::Settling;
                phaseStart_ = arrived;
                quietFrames_ = 0;
            }
            break;
        case Phase::Settling:
            quietFrames_ = change <= measured_.threshold ? quietFrames_ + 1 : 0;
            if (arrived - phaseStart_ >= settings_.pause && quietFrames_ >= settings_.stableFrames) {
                reference_ = *grid;
                sendStep(arrived);
            } else if (arrived - phaseStart_ >= settings_.settleTimeout) {
                giveUp("the picture did not settle while the phone held still");
            }
            break;
        case Phase::Waiting:
            if (const double moved = MeanAbsoluteDifference(*grid, reference_); moved > measured_.threshold) {
                stepChanges_.push_back(moved);
                measured_.samplesMs.push_back(std::chrono::duration<double, std::milli>(arrived - sentAt_).count());
                ++stepsDone_;
                phase_ = Phase::Settling;
                phaseStart_ = arrived;
                quietFrames_ = 0;
            } else if (arrived - sentAt_ >= settings_.stepTimeout) {
                ++measured_.missed;
                ++stepsDone_;
                phase_ = Phase::Settling;
                phaseStart_ = arrived;
                quietFrames_ = 0;
                // Three misses before any hit: the picture does not follow this phone's motion.
                if (measured_.samplesMs.empty() && measured_.missed >= 3) {
                    giveUp("the picture did not change after " + std::to_string(measured_.missed) + " steps");
                }
            }
            if (phase_ != Phase::Done && stepsDone_ >= settings_.steps) phase_ = Phase::Done;
            break;
        case Phase::Idle:
        case Phase::Done:
            break;
    }
}

LatencyResult LatencyProbe::result() const {
    LatencyResult result = SummarizeLatency(measured_.samplesMs);
    result.missed = measured_.missed;
    result.noise = measured_.noise;
    result.threshold = measured_.threshold;
    result.problem = measured_.problem;
    std::vector<double> changes = stepChanges_;
    std::sort(changes.begin(), changes.end());
    result.stepChange = Quantile(changes, 0.5);
    return result;
}

}  // namespace qlophone
