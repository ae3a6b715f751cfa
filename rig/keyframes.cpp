#include "rig/keyframes.h"

#include <algorithm>
#include <cmath>

#include "base/host_handles.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"

namespace {

// One open stream of a layer for the length of a call, with the suites its calls use acquired
// before the stream is opened.
class OpenStream {
public:
    OpenStream(AEGP_SuiteHandler& suites, AEGP_LayerH layer, AEGP_LayerStream which)
        : keys_(suites.KeyframeSuite5()), stream_(suites.StreamSuite11()) {
        stream_.suite()->AEGP_GetNewLayerStream(g_pluginID, layer, which, stream_.out());
    }

    explicit operator bool() const { return static_cast<bool>(stream_); }
    AEGP_StreamRefH get() const { return stream_.get(); }

    A_long count() const {
        A_long n = 0;
        keys_->AEGP_GetStreamNumKFs(stream_.get(), &n);
        return n;
    }
    // The time of key i in seconds; false when it cannot be read.
    bool keySecs(A_long index, double* secs) const {
        A_Time t{0, 1};
        if (keys_->AEGP_GetKeyframeTime(stream_.get(), index, AEGP_LTimeMode_CompTime, &t) != A_Err_NONE) {
            return false;
        }
        return TimeToSecs(t, secs);
    }

private:
    const AEGP_KeyframeSuite5* keys_;
    HostStream stream_;
};

bool SameTime(double a, double b) {
    return std::fabs(a - b) < kSameTimeSecs;
}

// Deletes, from the last key to the first (so the indices still to visit do not move), every
// key whose time can be read and for which `doomed` holds.
template <class Pred>
void DeleteKeysWhere(AEGP_LayerH layer, AEGP_LayerStream which, Pred doomed) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    if (!stream) return;
    for (A_long i = stream.count() - 1; i >= 0; --i) {
        double secs = 0;
        if (stream.keySecs(i, &secs) && doomed(secs)) {
            suites.KeyframeSuite5()->AEGP_DeleteKeyframe(stream.get(), i);
        }
    }
}

void SetStaticValue(AEGP_LayerH layer, AEGP_LayerStream which, const AEGP_StreamVal2& val) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    if (!stream || stream.count() >= 1) return;
    AEGP_StreamValue2 value{stream.get(), val};
    suites.StreamSuite11()->AEGP_SetStreamValue(g_pluginID, stream.get(), &value);
}

bool InsertKeyframeValue(AEGP_LayerH layer, AEGP_LayerStream which, const AEGP_StreamVal2& val,
                         A_Time time) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    if (!stream) return false;
    const AEGP_KeyframeSuite5* keys = suites.KeyframeSuite5();
    A_long before = 0;
    const bool counted = keys->AEGP_GetStreamNumKFs(stream.get(), &before) == A_Err_NONE;
    AEGP_KeyframeIndex index = 0;
    if (keys->AEGP_InsertKeyframe(stream.get(), AEGP_LTimeMode_CompTime, &time, &index) !=
        A_Err_NONE) {
        return false;
    }
    const AEGP_StreamValue2 value{stream.get(), val};
    const bool set = keys->AEGP_SetKeyframeValue(stream.get(), index, &value) == A_Err_NONE;
    if (!set) {
        // The key this call made holds whatever the stream showed there; it is nobody's.
        A_long after = 0;
        if (counted && keys->AEGP_GetStreamNumKFs(stream.get(), &after) == A_Err_NONE &&
            after > before) {
            keys->AEGP_DeleteKeyframe(stream.get(), index);
        }
        return false;
    }
    // Linear whatever the host's default interpolation is; a failure here changes nothing.
    keys->AEGP_SetKeyframeInterpolation(stream.get(), index, AEGP_KeyInterp_LINEAR,
                                        AEGP_KeyInterp_LINEAR);
    return true;
}

AEGP_StreamVal2 ThreeD(float x, float y, float z) {
    AEGP_StreamVal2 val{};
    val.three_d = {x, y, z};
    return val;
}

AEGP_StreamVal2 OneD(float value) {
    AEGP_StreamVal2 val{};
    val.one_d = value;
    return val;
}

}  // namespace

int GetNumKeyframes(AEGP_LayerH layer, AEGP_LayerStream which) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    return stream ? stream.count() : 0;
}

bool CountKeyframes(AEGP_LayerH layer, AEGP_LayerStream which, int* count) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    A_long n = 0;
    if (!stream || suites.KeyframeSuite5()->AEGP_GetStreamNumKFs(stream.get(), &n) != A_Err_NONE ||
        n < 0) {
        return false;
    }
    *count = static_cast<int>(n);
    return true;
}

bool IsThreeDStream(AEGP_LayerStream which) {
    return which == AEGP_LayerStream_POSITION || which == AEGP_LayerStream_ORIENTATION;
}

KeyRemoval DeleteKeyframeHolding(AEGP_LayerH layer, AEGP_LayerStream which, double secs,
                                 const KeyValue& value) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    if (!stream) return KeyRemoval::Failed;
    const AEGP_KeyframeSuite5* keys = suites.KeyframeSuite5();
    A_long count = 0;
    if (keys->AEGP_GetStreamNumKFs(stream.get(), &count) != A_Err_NONE) return KeyRemoval::Failed;
    const int dims = IsThreeDStream(which) ? 3 : 1;
    bool unread = false;
    for (A_long i = count - 1; i >= 0; --i) {
        double keySecs = 0;
        if (!stream.keySecs(i, &keySecs)) {
            unread = true;
            continue;
        }
        if (!SameTime(keySecs, secs)) continue;
        HostStreamValue held(suites.StreamSuite11());
        if (!held.take([&](AEGP_StreamValue2* v) {
                return keys->AEGP_GetNewKeyframeValue(g_pluginID, stream.get(), i, v);
            })) {
            unread = true;
            continue;
        }
        const double got[3] = {dims == 3 ? held.val().three_d.x : held.val().one_d,
                               dims == 3 ? held.val().three_d.y : 0.0,
                               dims == 3 ? held.val().three_d.z : 0.0};
        bool same = true;
        for (int d = 0; d < dims; ++d) {
            const double have = got[d];
            // Written as floats widened to doubles: anything further off was changed since.
            same = same && std::fabs(have - value.v[d]) <= 1e-6 * std::max(1.0, std::fabs(value.v[d]));
        }
        if (!same) continue;
        return keys->AEGP_DeleteKeyframe(stream.get(), i) == A_Err_NONE ? KeyRemoval::Removed
                                                                         : KeyRemoval::Failed;
    }
    return unread ? KeyRemoval::Failed : KeyRemoval::NotThere;
}

bool HasKeyframeAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs) {
    AEGP_SuiteHandler suites(g_basicSuite);
    OpenStream stream(suites, layer, which);
    if (!stream) return false;
    const A_long count = stream.count();
    for (A_long i = 0; i < count; ++i) {
        double keySecs = 0;
        if (stream.keySecs(i, &keySecs) && SameTime(keySecs, secs)) return true;
    }
    return false;
}

void DeleteKeyframesAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs) {
    DeleteKeysWhere(layer, which, [secs](double keySecs) { return SameTime(keySecs, secs); });
}

void DeleteKeyframesExceptAtSecs(AEGP_LayerH layer, AEGP_LayerStream which, double secs) {
    DeleteKeysWhere(layer, which, [secs](double keySecs) { return !SameTime(keySecs, secs); });
}

void SetStream3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z) {
    SetStaticValue(layer, which, ThreeD(x, y, z));
}

void SetStream1D(AEGP_LayerH layer, AEGP_LayerStream which, float value) {
    SetStaticValue(layer, which, OneD(value));
}

bool InsertKeyframe3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z,
                      A_Time time) {
    return InsertKeyframeValue(layer, which, ThreeD(x, y, z), time);
}

bool InsertKeyframe1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, A_Time time) {
    return InsertKeyframeValue(layer, which, OneD(value), time);
}
