// The motion the phone sends in place of real sensor data, as a function of the seconds since the
// motion started. Every path starts near zero offset, so the first sample does not jump.
//  - orbit: the camera swings back and forth on an arc around a point kOrbitPivotDistance ahead of
//    where it starts (its starting view's middle; in a composition seen through a new camera,
//    the middle of the scene), kOrbitSwingDegrees to either side every kOrbitPeriodSeconds,
//    rising up to kOrbitRise at the ends of the swing, always turned towards that point, so the
//    point stays in the middle of the view for the whole loop;
//  - handheld: held still by a hand: a small, smooth wander of every angle and offset (smooth
//    value noise of two octaves, not white noise), at most kHandheldMaxDegrees and
//    kHandheldMaxOffset away from the start; each seed gives its own hand;
//  - still: all zeros;
//  - samples: timed samples (e.g. from a CSV file, see path_csv.h), interpolated linearly;
//    before the first sample the first is held, after the last the last.
#pragma once

#include "phone/motion_datagram.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qlophone {

inline constexpr double kOrbitPeriodSeconds = 12.0;
inline constexpr double kOrbitPivotDistance = 3000.0;  // about a new camera's distance to the scene
inline constexpr double kOrbitSwingDegrees = 30.0;
inline constexpr double kOrbitRise = 150.0;
inline constexpr double kHandheldMaxDegrees = 2.0;
inline constexpr double kHandheldMaxOffset = 5.0;

MotionSample SampleOrbit(double secondsSinceStart);
MotionSample SampleHandheld(double secondsSinceStart, uint32_t seed);

struct TimedSample {
    double seconds = 0.0;
    MotionSample sample;
};

class MotionPath {
public:
    enum class Kind { Orbit, Handheld, Still, Samples };

    static MotionPath Orbit() { return MotionPath(Kind::Orbit); }
    static MotionPath Handheld(uint32_t seed);
    static MotionPath Still() { return MotionPath(Kind::Still); }
    // `samples` must be non-empty with strictly increasing times (ParsePathCsv ensures that).
    static MotionPath Samples(std::shared_ptr<const std::vector<TimedSample>> samples);

    Kind kind() const { return kind_; }
    MotionSample at(double secondsSinceStart) const;
    // "orbit", "handheld", "still", "N samples"
    std::string describe() const;

private:
    explicit MotionPath(Kind kind) : kind_(kind) {}

    Kind kind_;
    uint32_t seed_ = 0;
    std::shared_ptr<const std::vector<TimedSample>> samples_;
};

}  // namespace qlophone
