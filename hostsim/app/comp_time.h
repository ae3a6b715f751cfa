// Moving a composition's current time, the one way the host's dialog, its console and scripts
// (CompItem.time) all do it.
#pragma once

#include "hostsim/model/project.h"

namespace qlo::hostsim {

// Sets the composition's time to `seconds` clamped to [0, duration] and gives the time set.
// While the composition plays, playback goes on from the new time (a time at the very end
// starts over from 0, as playback loops). nowSeconds is the run loop's clock.
double SetCompositionTime(Project& project, Composition& comp, double seconds, double nowSeconds);

// The time a composition shows: its playback time while playing, else its current time.
double CompositionTime(const Project& project, const Composition& comp);

}  // namespace qlo::hostsim
