#include "phone/motion_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qlophone {

namespace {

// A well-mixed 64-bit hash (splitmix64), so noise values need no stored table.
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A pseudo-random value in [-1, 1] for one knot of one noise channel.
double Knot(uint32_t seed, uint32_t channel, int64_t index) {
    const uint64_t h = Mix((static_cast<uint64_t>(seed) << 32 | channel) ^ Mix(static_cast<uint64_t>(index)));
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// Value noise: random values at knots `period` seconds apart, joined by smoothstep curves, so
// the value and its slope are continuous. Within [-1, 1]. The knot at t = 0 is 0, so every hand
// starts at its base.
double SmoothNoise(double t, double period, uint32_t seed, uint32_t channel) {
    const double x = t / period;
    const double cell = std::floor(x);
    const int64_t i = static_cast<int64_t>(cell);
    const double f = x - cell;
    const double s = f * f * (3.0 - 2.0 * f);
    const double a = i == 0 ? 0.0 : Knot(seed, channel, i);
    const double b = Knot(seed, channel, i + 1);
    return a + (b - a) * s;
}

// Two octaves: a slow drift and a faster tremor, weighted 0.7 and 0.3.
double HandNoise(double t, uint32_t seed, uint32_t channel) {
    return 0.7 * SmoothNoise(t, 0.9, seed, channel * 2) + 0.3 * SmoothNoise(t, 0.25, seed, channel * 2 + 1);
}

float Lerp(float a, float b, double f) { return static_cast<float>(a + (b - a) * f); }

}  // namespace

// Offsets and angles in the host's space: x right, y down, z away from the viewer; a positive
// orientation Y (heading) turns the view towards +x, a positive X (tilt) turns it up.
MotionSample SampleOrbit(double secondsSinceStart) {
    const double phase = 2.0 * std::numbers::pi * secondsSinceStart / kOrbitPeriodSeconds;
    const double degree = std::numbers::pi / 180.0;
    const double heading = kOrbitSwingDegrees * std::sin(phase) * degree;
    const double rise = kOrbitRise * std::sin(phase) * std::sin(phase);
    MotionSample s;
    // On the circle around the pivot (0, 0, D), looking along (sin h, 0, cos h) towards it.
    s.posX = static_cast<float>(-kOrbitPivotDistance * std::sin(heading));
    s.posY = static_cast<float>(-rise);
    s.posZ = static_cast<float>(kOrbitPivotDistance * (1.0 - std::cos(heading)));
    s.orientY = static_cast<float>(heading / degree);
    s.orientX = static_cast<float>(-std::atan2(rise, kOrbitPivotDistance) / degree);  // down to the pivot
    s.orientZ = 0.0f;
    return s;
}

MotionSample SampleHandheld(double secondsSinceStart, uint32_t seed) {
    const double t = std::max(0.0, secondsSinceStart);
    MotionSample s;
    s.orientX = static_cast<float>(kHandheldMaxDegrees * HandNoise(t, seed, 0));
    s.orientY = static_cast<float>(kHandheldMaxDegrees * HandNoise(t, seed, 1));
    s.orientZ = static_cast<float>(0.5 * kHandheldMaxDegrees * HandNoise(t, seed, 2));
    s.posX = static_cast<float>(kHandheldMaxOffset * HandNoise(t, seed, 3));
    s.posY = static_cast<float>(kHandheldMaxOffset * HandNoise(t, seed, 4));
    s.posZ = static_cast<float>(kHandheldMaxOffset * HandNoise(t, seed, 5));
    return s;
}

MotionPath MotionPath::Handheld(uint32_t seed) {
    MotionPath path(Kind::Handheld);
    path.seed_ = seed;
    return path;
}

MotionPath MotionPath::Samples(std::shared_ptr<const std::vector<TimedSample>> samples) {
    MotionPath path(Kind::Samples);
    path.samples_ = std::move(samples);
    return path;
}

MotionSample MotionPath::at(double t) const {
    switch (kind_) {
        case Kind::Orbit: return SampleOrbit(t);
        case Kind::Handheld: return SampleHandheld(t, seed_);
        case Kind::Still: return MotionSample{};
        case Kind::Samples: break;
    }
    if (!samples_ || samples_->empty()) return MotionSample{};
    const auto& v = *samples_;
    if (t <= v.front().seconds) return v.front().sample;
    if (t >= v.back().seconds) return v.back().sample;
    auto next = std::upper_bound(v.begin(), v.end(), t, [](double x, const TimedSample& s) { return x < s.seconds; });
    const TimedSample& b = *next;
    const TimedSample& a = *(next - 1);
    const double f = (t - a.seconds) / (b.seconds - a.seconds);
    const MotionSample& p = a.sample;
    const MotionSample& q = b.sample;
    return MotionSample{Lerp(p.orientX, q.orientX, f), Lerp(p.orientY, q.orientY, f), Lerp(p.orientZ, q.orientZ, f),
                        Lerp(p.posX, q.posX, f),       Lerp(p.posY, q.posY, f),       Lerp(p.posZ, q.posZ, f)};
}

std::string MotionPath::describe() const {
    switch (kind_) {
        case Kind::Orbit: return "orbit";
        case Kind::Handheld: return "handheld";
        case Kind::Still: return "still";
        case Kind::Samples: break;
    }
    return std::to_string(samples_ ? samples_->size() : 0) + " samples";
}

}  // namespace qlophone
