// Recording of the phones' cameras: one keyframe now, or one per work pass with new motion
// between a start and a stop. Each recorded frame moves the composition's time one frame on.
// Main thread only, inside the idle callback.
#pragma once

#include "sdk/AE_SDK.h"

// The ExtendScript text that moves the active composition one frame on, never past the start of
// its last frame.
extern const char* const kStepOneFrameScript;

// Carries out a pending record command (single, start, stop) or, without one, records the next
// frame of a continuous recording when new motion arrived in this pass.
void HandleRecordCommand(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now, bool motionArrived);

// Writes real keyframes at `now` into the camera of every allowed named phone: Orientation and
// Position from its newest motion, and its stored lens settings when it has any.
void RecordCameraKeyframe(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now);
