#include "rig/preview_keyframes.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "base/boundary.h"
#include "base/main_thread.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "rig/host_presence.h"
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

bool SameTime(double a, double b) {
    return std::fabs(a - b) < kSameTimeSecs;
}

// Takes the state's live keyframe away. `confirmed` is a layer this pass already found among
// the phones' composition's layers; any other layer is looked for first, so that no handle of
// a deleted layer reaches the host. True when nothing is left to do (taken away, or no longer
// there to take); false when the host did not allow it, and the state stays active.
bool TakeAway(AEGP_LayerStream which, PreviewKFState& state, AEGP_LayerH confirmed) {
    if (!state.active) return true;
    if (state.layer != confirmed) {
        AEGP_SuiteHandler suites(g_basicSuite);
        const Presence presence = LayerPresence(suites, state.comp, state.layer);
        if (presence == Presence::Unknown) return false;
        if (presence == Presence::Gone) {  // the key went with its layer
            state.active = false;
            return true;
        }
    }
    KeyValue value;
    std::copy(std::begin(state.value), std::end(state.value), value.v);
    if (DeleteKeyframeHolding(state.layer, which, state.secs, value) == KeyRemoval::Failed) {
        return false;
    }
    state.active = false;
    return true;
}

// The state is let go of: its key is taken away now or, when the host refuses, later.
void LetGo(AEGP_LayerStream which, PreviewKFState& state, AEGP_LayerH confirmed) {
    if (!TakeAway(which, state, confirmed)) g_liveKeysToTakeAway.emplace_back(which, state);
    state.active = false;
}

void RetryLeftovers() {
    std::erase_if(g_liveKeysToTakeAway, [](auto& leftover) {
        return TakeAway(leftover.first, leftover.second, nullptr);
    });
}

// The steps both live displays share: take the previous preview keyframe away, then show the
// value as the static value or as a new preview keyframe.
template <class SetStatic, class Insert>
void ShowLive(AEGP_LayerH layer, AEGP_LayerStream which, double secs, const KeyValue& value,
              PreviewKFState& state, SetStatic setStatic, Insert insert) {
    LetGo(which, state, layer);
    if (GetNumKeyframes(layer, which) == 0) {
        setStatic();
        return;
    }
    if (!HasKeyframeAtSecs(layer, which, secs) && insert()) {
        state.secs = secs;
        state.comp = g_cameraCompH;  // the callers have just resolved the layer in it
        state.layer = layer;
        std::copy(std::begin(value.v), std::end(value.v), state.value);
        state.active = true;
    }
}

}  // namespace

void ApplyProp1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, bool changed,
                 A_Time time, double secs, PreviewKFState& state) {
    if (!changed) return;
    ShowLive(
        layer, which, secs, KeyValue{{value, 0, 0}}, state,
        [&] { SetStream1D(layer, which, value); },
        [&] { return InsertKeyframe1D(layer, which, value, time); });
}

void ApplyPreview3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                    A_Time time, double secs, PreviewKFState& state) {
    ShowLive(
        layer, which, secs, KeyValue{{x, y, z}}, state,
        [&] { SetStream3D(layer, which, x, y, z); },
        [&] { return InsertKeyframe3D(layer, which, x, y, z, time); });
}

void LetGoOfLiveKeys(PhoneCameraEntry& entry) {
    ForEachPreview(entry, [](AEGP_LayerStream which, PreviewKFState& state) {
        LetGo(which, state, nullptr);
    });
}

void AdoptLiveKeysAt(AEGP_LayerH layer, AEGP_LayerStream which, double secs) {
    const auto written = [&](AEGP_LayerStream stream, const PreviewKFState& state) {
        return state.active && stream == which && state.layer == layer && SameTime(state.secs, secs);
    };
    for (auto& [name, entry] : g_phoneCameras) {
        ForEachPreview(entry, [&](AEGP_LayerStream stream, PreviewKFState& state) {
            if (written(stream, state)) state.active = false;
        });
    }
    std::erase_if(g_liveKeysToTakeAway,
                  [&](const auto& leftover) { return written(leftover.first, leftover.second); });
}

bool AnyLiveKeys() {
    QLO_MAIN_THREAD_ONLY("The live keyframes");
    bool any = !g_liveKeysToTakeAway.empty();
    for (auto& [name, entry] : g_phoneCameras) {
        ForEachPreview(entry, [&any](AEGP_LayerStream, const PreviewKFState& state) {
            any = any || state.active;
        });
    }
    return any;
}

void TakeAwayLiveKeysNotShown(const std::vector<std::string>& showing, AEGP_CompH activeComp) {
    QLO_MAIN_THREAD_ONLY("The live keyframes");
    for (auto& [name, entry] : g_phoneCameras) {
        const bool shown = std::find(showing.begin(), showing.end(), name) != showing.end();
        ForEachPreview(entry, [&](AEGP_LayerStream which, PreviewKFState& state) {
            if (state.active && (!shown || state.comp != activeComp)) LetGo(which, state, nullptr);
        });
    }
    RetryLeftovers();
}

void TakeAwayAllLiveKeys() noexcept {
    if (g_basicSuite == nullptr || !AnyLiveKeys()) return;
    QLOCallFromHost("TakeAwayAllLiveKeys", [] {
        TakeAwayLiveKeysNotShown({}, nullptr);
        return A_Err_NONE;
    });
}
