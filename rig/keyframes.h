// Operations on one stream of one layer, from which the live display and the recording of
// camera values are built: count, find, insert and delete keyframes, and set a static value.
// Every operation opens the stream and disposes of it before it returns, with a suite handler
// of its own; a stream that cannot be opened makes the operation a no-op (counts are then 0,
// tests and inserts false). Keyframe times are composition times; two times are the same time
// when they differ by less than kSameTimeSecs. Main thread only.
#pragma once

#include "base/helpers.h"  // TimeToSecs: key times in seconds
#include "sdk/AE_SDK.h"

inline constexpr double kSameTimeSecs = 0.0001;

// Number of keyframes as the host reports it; 0 when the stream or the count cannot be read.
int GetNumKeyframes(AEGP_LayerH layer, AEGP_LayerStream which);
// The same, telling a count that could not be read (false) from a stream without keys.
bool CountKeyframes(AEGP_LayerH layer, AEGP_LayerStream which, int* count);
// Whether a keyframe lies at that time. Keys whose time cannot be read do not match.
bool HasKeyframeAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs);
// Deletes every keyframe at that time.
void DeleteKeyframesAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs);
// Deletes every keyframe not at that time; keys whose time cannot be read stay.
void DeleteKeyframesExceptAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs);
// Sets the static value of a 3-D stream without keyframes; an animated stream is left alone.
void SetStream3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z);
// The same for a 1-D stream.
void SetStream1D(AEGP_LayerH layer, AEGP_LayerStream which, float value);
// Inserts a keyframe at the time (or takes the one standing there), sets its value and makes
// its interpolation linear in and out. True when the value was set. A key made by this call
// whose value the host then refused is deleted again, so a failed insert adds no key.
bool InsertKeyframe3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                      A_Time time);
bool InsertKeyframe1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, A_Time time);

// A value as the rig writes it: x, y, z for the 3-D streams (Position, Orientation), x alone for
// the 1-D ones.
struct KeyValue {
    double v[3] = {0, 0, 0};
};
bool IsThreeDStream(AEGP_LayerStream which);

enum class KeyRemoval {
    Removed,   // the key was found and deleted
    NotThere,  // no key at that time holds that value (moved, deleted or changed since)
    Failed,    // a host call failed: whether it is there is not known
};
// Deletes one key at `secs` that holds `value`; keys at that time holding anything else stay.
KeyRemoval DeleteKeyframeHolding(AEGP_LayerH layer, AEGP_LayerStream which, double secs,
                                 const KeyValue& value);
