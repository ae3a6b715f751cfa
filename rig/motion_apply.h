// Phone motion into camera moves: each allowed phone's newest motion sample is written into the
// Orientation and Position streams of the camera layer it drives, live (static values, or
// preview keyframes on animated streams). Main thread only, inside the idle callback.
#pragma once

#include "sdk/AE_SDK.h"

// Applies, for every allowed phone with a name and an address, the motion sample that arrived
// from its address since the last call. `now` is the composition time the tick works at.
void ApplyMotionToCamera(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now);
