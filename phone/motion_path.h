// The built-in motion the phone sends in place of real sensor data: a slow orbit. The camera
// swings its heading (orientY) back and forth by 40 degrees every 8 seconds while it moves on a
// horizontal circle of radius 60 units around its starting point, bobs 10 units up and down and
// tilts (orientX) a few degrees. It starts at zero offset, so the first sample does not jump.
#pragma once

#include "phone/motion_datagram.h"

namespace qlophone {

inline constexpr double kOrbitPeriodSeconds = 8.0;

MotionSample SampleOrbit(double secondsSinceStart);

}  // namespace qlophone
