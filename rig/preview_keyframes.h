// The live display of camera values. A stream without keyframes shows a live value as its
// static value. A stream with keyframes gets a preview keyframe at the current time instead:
// a keyframe the plug-in makes only to show the live value, remembers in a PreviewKFState and
// deletes again before it shows the next value on that stream. A preview keyframe is inserted
// only where no keyframe stands yet, so a keyframe the user set at that time is neither
// overwritten nor deleted. Recording turns a preview keyframe into a real one by making its
// state inactive. Main thread only.
#pragma once

#include "rig/rig_state.h"
#include "sdk/AE_SDK.h"

// Shows a 1-D value live; a value that did not change (changed false) is not shown again.
void ApplyProp1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, bool changed,
                 A_Time time, double secs, PreviewKFState& state);
// Shows a 3-D value live, on every call.
void ApplyPreview3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                    A_Time time, double secs, PreviewKFState& state);

// Deletes the preview keyframes of every active preview state of the entry from `layer` (the
// layer they were made on) and makes every preview state inactive.
void RemovePreviewKeyframes(AEGP_LayerH layer, PhoneCameraEntry& entry);
// Makes every preview state of the entry inactive without touching any layer.
void ForgetPreviewKeyframes(PhoneCameraEntry& entry);
bool AnyPreviewActive(const PhoneCameraEntry& entry);
