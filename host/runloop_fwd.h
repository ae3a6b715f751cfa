// Forward declaration of the run loop's timer handle, so that the frame's header does not pull
// in the whole run loop interface.
#pragma once

#include <memory>

namespace qlo::runloop {
class Timer;
using TimerPtr = std::shared_ptr<Timer>;
}  // namespace qlo::runloop
