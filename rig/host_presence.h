// Whether a composition or a layer the plug-in kept a handle of is still in the project. A host
// may not be handed the handle of something the user deleted, so every handle kept beyond the
// pass that found it is confirmed here first, by walking what the host lists now: the project's
// items, a composition's layers. Only the listing's own handles are passed to the host.
// Main thread only.
#pragma once

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

enum class Presence {
    There,    // listed by the host
    Gone,     // the whole listing was read and it is not in it
    Unknown,  // a host call failed: ask again later
};

// Whether `comp` is the composition of one of the project's items.
Presence CompPresence(AEGP_SuiteHandler& suites, AEGP_CompH comp);
// Whether `layer` is one of the layers of `comp`, and `comp` is still in the project.
Presence LayerPresence(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_LayerH layer);
