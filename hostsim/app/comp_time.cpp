#include "hostsim/app/comp_time.h"

#include <algorithm>

namespace qlo::hostsim {

double SetCompositionTime(Project& project, Composition& comp, double seconds, double now) {
    const double t = std::clamp(seconds, 0.0, std::max(0.0, comp.duration));
    if (!project.playing() || project.playingComposition() != comp.id()) {
        comp.currentTime = t;
        return t;
    }
    // Playback runs from where it started plus the time elapsed: stop it, move the time and
    // start again from there. Playback plays the active item, so the composition is made
    // active for the restart and the user's active item is put back afterwards.
    project.stopPlayback(now);
    comp.currentTime = t;
    const Item* active = project.activeItem();
    const ObjectId previous = active != nullptr ? active->id() : 0;
    project.setActiveItem(comp.id());
    project.togglePlayback(now);
    project.setActiveItem(previous);
    return t;
}

double CompositionTime(const Project& project, const Composition& comp) {
    return project.viewTime(comp);
}

}  // namespace qlo::hostsim
