#include "rig/recording.h"

#include <string>

#include "engine/number_text.h"
#include "engine/run_script.h"
#include "host/plugin.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "platform/log.h"
#include "rig/camera_layers.h"
#include "rig/keyframes.h"
#include "rig/rig_state.h"

const char* const kStepOneFrameScript =
    "var c=app.project.activeItem;if(c && c instanceof CompItem){c.time=Math.min(c.time+c.frameDuration, "
    "c.duration-c.frameDuration);}";

namespace {

double NowSecs(A_Time now) {
    return static_cast<double>(now.value) / static_cast<double>(static_cast<A_u_long>(now.scale));
}

void RecordAndStep(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now) {
    RecordCameraKeyframe(comp, compItem, now);
    RunScript(kStepOneFrameScript, nullptr);
}

// Inserts the key at `now`; a stream that had none before keeps only that key.
void Record1D(AEGP_LayerH layer, AEGP_LayerStream which, float value, int countBefore, A_Time now,
              double secs) {
    InsertKeyframe1D(layer, which, value, now);
    if (countBefore == 0) DeleteKeyframesExceptAtSecs(layer, which, secs);
}

}  // namespace

void HandleRecordCommand(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now, bool motionArrived) {
    if (g_server != nullptr && g_server->hasPendingRecordCommand()) {
        const RecordMode mode = g_server->getPendingRecordCommand();
        const std::string secs = FixedText(NowSecs(now), 3);
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
    if (clients.empty()) return;
    const double secs = NowSecs(now);

    for (const ClientInfo& client : clients) {
        if (!client.allowed || client.name[0] == '\0') continue;
        const std::string name = client.name;
        AEGP_LayerH layer = EnsurePhoneCamera(comp, compItem, name);
        if (layer == nullptr) continue;
        PhoneCameraEntry& entry = g_phoneCameras[name];

        PerSenderMotion m = entry.lastMotion;
        if (!entry.hasLastMotion) g_motion->getLatestMotion(m.orientX, m.orientY, m.orientZ, m.posX, m.posY, m.posZ);

        // A preview keyframe standing at now is taken over by the insert below as a real key.
        entry.orientPreview.active = false;
        entry.positionPreview.active = false;
        const int orientKeys = GetNumKeyframes(layer, AEGP_LayerStream_ORIENTATION);
        const int positionKeys = GetNumKeyframes(layer, AEGP_LayerStream_POSITION);

        InsertKeyframe3D(layer, AEGP_LayerStream_ORIENTATION, m.orientX, m.orientY, m.orientZ, now);
        if (orientKeys == 0) DeleteKeyframesExceptAtSecs(layer, AEGP_LayerStream_ORIENTATION, secs);
        if (entry.hasBasePos) {
            InsertKeyframe3D(layer, AEGP_LayerStream_POSITION, entry.basePos[0] + m.posX,
                             entry.basePos[1] + m.posY, entry.basePos[2] + m.posZ, now);
            if (positionKeys == 0) DeleteKeyframesExceptAtSecs(layer, AEGP_LayerStream_POSITION, secs);
        }

        const auto lens = g_lastCamMap.find(name);
        if (lens == g_lastCamMap.end()) continue;
        const CameraSettings& s = lens->second;
        const int zoomKeys = GetNumKeyframes(layer, AEGP_LayerStream_ZOOM);
        const int focusKeys = GetNumKeyframes(layer, AEGP_LayerStream_FOCUS_DISTANCE);
        const int apertureKeys = GetNumKeyframes(layer, AEGP_LayerStream_APERTURE);
        const int blurKeys = GetNumKeyframes(layer, AEGP_LayerStream_BLUR_LEVEL);
        const int dofKeys = GetNumKeyframes(layer, AEGP_LayerStream_DEPTH_OF_FIELD);
        entry.zoomPreview.active = false;
        entry.focusPreview.active = false;
        entry.aperturePreview.active = false;
        entry.blurPreview.active = false;
        entry.dofPreview.active = false;
        Record1D(layer, AEGP_LayerStream_ZOOM, s.zoom, zoomKeys, now, secs);
        Record1D(layer, AEGP_LayerStream_FOCUS_DISTANCE, s.focusDistance, focusKeys, now, secs);
        Record1D(layer, AEGP_LayerStream_APERTURE, s.aperture, apertureKeys, now, secs);
        Record1D(layer, AEGP_LayerStream_BLUR_LEVEL, s.blurLevel, blurKeys, now, secs);
        Record1D(layer, AEGP_LayerStream_DEPTH_OF_FIELD, s.dof ? 1.0f : 0.0f, dofKeys, now, secs);
    }
}
