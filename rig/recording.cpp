#include "rig/recording.h"

#include <string>

#include "base/helpers.h"
#include "base/run_script.h"
#include "base/plugin_state.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "platform/log.h"
#include "rig/camera_layers.h"
#include "rig/keyframes.h"
#include "rig/preview_keyframes.h"
#include "rig/rig_state.h"

const char* const kStepOneFrameScript =
    "var c=app.project.activeItem;if(c && c instanceof CompItem){c.time=Math.min(c.time+c.frameDuration, "
    "c.duration-c.frameDuration);}";

namespace {

void RecordAndStep(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now) {
    RecordCameraKeyframe(comp, compItem, now);
    RunScript(kStepOneFrameScript, nullptr);
}

// Whether a recorded key may take the other keys of its stream with it: only on a stream that
// had none, so that what the user animated is never deleted by a recording.
bool MayDeleteOtherKeys(int keysBefore) {
    return keysBefore == 0;
}

// Records one key at `now`. A live keyframe standing there becomes the recorded key; a stream
// that had no keys before keeps only that key. A count that cannot be read deletes nothing.
template <class Insert>
void RecordKey(AEGP_LayerH layer, AEGP_LayerStream which, double secs, Insert insert) {
    int before = 0;
    const bool counted = CountKeyframes(layer, which, &before);
    if (!insert()) return;
    AdoptLiveKeysAt(layer, which, secs);
    if (counted && MayDeleteOtherKeys(before)) DeleteKeyframesExceptAtSecs(layer, which, secs);
}

void Record1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, A_Time now, double secs) {
    RecordKey(layer, which, secs, [&] { return InsertKeyframe1D(layer, which, value, now); });
}

void Record3D(AEGP_LayerH layer, AEGP_LayerStream which, float x, float y, float z, A_Time now,
              double secs) {
    RecordKey(layer, which, secs, [&] { return InsertKeyframe3D(layer, which, x, y, z, now); });
}

}  // namespace

void HandleRecordCommand(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now, bool motionArrived) {
    // Keys need a time to stand at: without one, a command waits in its slot for the next pass.
    double nowSecs = 0.0;
    if (!TimeToSecs(now, &nowSecs)) return;
    if (g_server != nullptr && g_server->hasPendingRecordCommand()) {
        const RecordMode mode = g_server->getPendingRecordCommand();
        const std::string secs = FixedText(nowSecs, 3);
        switch (mode) {
            case RecordModeStop:
                qlo::log::Log("[Quillo Record] Continuous recording stopped at time %s", secs.c_str());
                RecordAndStep(comp, compItem, now);
                g_recordState = false;
                break;
            case RecordModeStart:
                qlo::log::Log("[Quillo Record] Continuous recording started at time %s", secs.c_str());
                g_recordState = true;
                RecordAndStep(comp, compItem, now);
                break;
            case RecordModeSingle:
                qlo::log::Log("[Quillo Record] Single keyframe at time %s", secs.c_str());
                RecordAndStep(comp, compItem, now);
                g_recordState = false;
                break;
            default:
                break;
        }
        // A pass that handles a command records no further frame.
        return;
    }
    if (motionArrived && g_recordState) RecordAndStep(comp, compItem, now);
}

void RecordCameraKeyframe(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now) {
    if (g_server == nullptr || g_motion == nullptr) return;
    const std::vector<ClientInfo> clients = g_server->snapshotClients();
    double secs = 0.0;
    if (clients.empty() || !TimeToSecs(now, &secs)) return;  // keys need a time to stand at

    for (const ClientInfo& client : clients) {
        if (!client.allowed || client.name[0] == '\0') continue;
        const std::string name = client.name;
        AEGP_LayerH layer = EnsurePhoneCamera(comp, compItem, name);
        if (layer == nullptr) continue;
        PhoneCameraEntry& entry = g_phoneCameras[name];

        PerSenderMotion m = entry.lastMotion;
        if (!entry.hasLastMotion) g_motion->getLatestMotion(m.orientX, m.orientY, m.orientZ, m.posX, m.posY, m.posZ);

        Record3D(layer, AEGP_LayerStream_ORIENTATION, m.orientX, m.orientY, m.orientZ, now, secs);
        if (entry.hasBasePos) {
            Record3D(layer, AEGP_LayerStream_POSITION, entry.basePos[0] + m.posX,
                     entry.basePos[1] + m.posY, entry.basePos[2] + m.posZ, now, secs);
        }

        const auto lens = g_lastCamMap.find(name);
        if (lens == g_lastCamMap.end()) continue;
        const CameraSettings& s = lens->second;
        Record1D(layer, AEGP_LayerStream_ZOOM, s.zoom, now, secs);
        Record1D(layer, AEGP_LayerStream_FOCUS_DISTANCE, s.focusDistance, now, secs);
        Record1D(layer, AEGP_LayerStream_APERTURE, s.aperture, now, secs);
        Record1D(layer, AEGP_LayerStream_BLUR_LEVEL, s.blurLevel, now, secs);
        Record1D(layer, AEGP_LayerStream_DEPTH_OF_FIELD, s.dof ? 1.0f : 0.0f, now, secs);
    }
}
