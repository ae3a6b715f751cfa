#include "phone/motion_path.h"

#include <cmath>
#include <numbers>

namespace qlophone {

MotionSample SampleOrbit(double secondsSinceStart) {
    const double phase = 2.0 * std::numbers::pi * secondsSinceStart / kOrbitPeriodSeconds;
    MotionSample s;
    s.orientX = static_cast<float>(5.0 * std::sin(phase * 0.5));
    s.orientY = static_cast<float>(40.0 * std::sin(phase));
    s.orientZ = 0.0f;
    s.posX = static_cast<float>(60.0 * std::sin(phase));
    s.posY = static_cast<float>(10.0 * std::sin(phase * 2.0));
    s.posZ = static_cast<float>(60.0 * (1.0 - std::cos(phase)));
    return s;
}

}  // namespace qlophone
