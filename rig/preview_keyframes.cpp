#include "rig/preview_keyframes.h"


#include "rig/keyframes.h"

namespace {

// Every preview state of an entry with the stream it previews on.
template <class Entry, class Visit>
void ForEachPreview(Entry& entry, Visit visit) {
    visit(AEGP_LayerStream_ORIENTATION, entry.orientPreview);
    visit(AEGP_LayerStream_POSITION, entry.positionPreview);
    visit(AEGP_LayerStream_ZOOM, entry.zoomPreview);
    visit(AEGP_LayerStream_FOCUS_DISTANCE, entry.focusPreview);
    visit(AEGP_LayerStream_APERTURE, entry.aperturePreview);
    visit(AEGP_LayerStream_BLUR_LEVEL, entry.blurPreview);
    visit(AEGP_LayerStream_DEPTH_OF_FIELD, entry.dofPreview);
}

// The steps both live displays share: take the previous preview keyframe away, then show the
// value as the static value or as a new preview keyframe.
template <class SetStatic, class Insert>
void ShowLive(AEGP_LayerH layer, AEGP_LayerStream which, double secs, PreviewKFState& state,
              SetStatic setStatic, Insert insert) {
    if (state.active) {
        DeleteKeyframesAtSecs(layer, which, state.secs);
        state.active = false;
    }
    if (GetNumKeyframes(layer, which) == 0) {
        setStatic();
        return;
    }
    if (!HasKeyframeAtSecs(layer, which, secs) && insert()) {
        state.secs = secs;
        state.active = true;
    }
}

}  // namespace

void ApplyProp1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, bool changed,
                 A_Time time, double secs, PreviewKFState& state) {
    if (!changed) return;
    ShowLive(
        layer, which, secs, state, [&] { SetStream1D(layer, which, value); },
        [&] { return InsertKeyframe1D(layer, which, value, time); });
}

void ApplyPreview3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                    A_Time time, double secs, PreviewKFState& state) {
    ShowLive(
        layer, which, secs, state, [&] { SetStream3D(layer, which, x, y, z); },
        [&] { return InsertKeyframe3D(layer, which, x, y, z, time); });
}

void RemovePreviewKeyframes(AEGP_LayerH layer, PhoneCameraEntry& entry) {
    ForEachPreview(entry, [layer](AEGP_LayerStream which, PreviewKFState& state) {
        if (state.active) DeleteKeyframesAtSecs(layer, which, state.secs);
        state.active = false;
    });
}

void ForgetPreviewKeyframes(PhoneCameraEntry& entry) {
    ForEachPreview(entry, [](AEGP_LayerStream, PreviewKFState& state) { state.active = false; });
}

bool AnyPreviewActive(const PhoneCameraEntry& entry) {
    bool any = false;
    ForEachPreview(entry, [&any](AEGP_LayerStream, const PreviewKFState& state) {
        any = any || state.active;
    });
    return any;
}
