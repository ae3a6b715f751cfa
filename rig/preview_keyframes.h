// The live display of camera values. A stream without keyframes shows a live value as its
// static value. A stream with keyframes gets a preview (live) keyframe at the current time
// instead: a keyframe the plug-in makes only to show the live value, remembers in a
// PreviewKFState and takes away again before it shows the next value on that stream. A preview
// keyframe is inserted only where no keyframe stands yet, so a keyframe the user set at that
// time is neither overwritten nor deleted.
//
// Live keyframes never stay in the user's project: they are taken away when the phone stops
// showing them (its stream ends, another item becomes active, it drives another camera, the
// services stop, the plug-in unloads). A live keyframe that a recording writes into becomes the
// user's and is never taken away; nor is a key that no longer holds the live value where the
// live key stood (the user or another phone moved, deleted or changed it). A live keyframe the
// host does not let go of (a failing call) is remembered and taken away on a later pass.
// Main thread only.
#pragma once

#include <string>
#include <vector>

#include "rig/rig_state.h"
#include "sdk/AE_SDK.h"

// Shows a 1-D value live; a value that did not change (changed false) is not shown again.
void ApplyProp1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, bool changed,
                 A_Time time, double secs, PreviewKFState& state);
// Shows a 3-D value live, on every call.
void ApplyPreview3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                    A_Time time, double secs, PreviewKFState& state);

// Takes away every live keyframe of the entry, wherever it was made.
void LetGoOfLiveKeys(PhoneCameraEntry& entry);
// A recording wrote into the key at `secs` on that layer's stream: a live keyframe standing
// there, whichever phone made it, is now a recorded key.
void AdoptLiveKeysAt(AEGP_LayerH layer, AEGP_LayerStream which, double secs);

// Whether any live keyframe stands or waits to be taken away.
bool AnyLiveKeys();
// Takes away the live keyframes no phone shows any more: those of phones not among `showing`
// (the names of the connected phones) and those made outside `activeComp` (null: no
// composition is active). Retries those the host did not let go of before.
void TakeAwayLiveKeysNotShown(const std::vector<std::string>& showing, AEGP_CompH activeComp);
// Takes away every live keyframe, with a suite handler of its own, for the stop and start of the
// services and unloading. Does nothing when there is none or the host's basic suite is gone;
// never throws.
void TakeAwayAllLiveKeys() noexcept;
