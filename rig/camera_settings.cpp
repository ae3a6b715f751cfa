#include "rig/camera_settings.h"

#include <cmath>

#include "base/plugin_state.h"
#include "link/mjpeg_server.h"
#include "rig/camera_layers.h"
#include "rig/keyframes.h"
#include "rig/preview_keyframes.h"
#include "rig/rig_state.h"

namespace {

// Smallest change of a lens value that is shown again; compared in single precision.
constexpr float kLensChange = 0.0001f;

bool LensChanged(float now, float before) { return std::fabs(now - before) > kLensChange; }

}  // namespace

std::string CameraSettingsKey(const CameraSettings& settings, const std::vector<ClientInfo>& clients) {
    if (settings.deviceName[0] != '\0') return settings.deviceName;
    for (const ClientInfo& c : clients) {
        if (c.allowed && c.name[0] != '\0') return c.name;
    }
    for (const ClientInfo& c : clients) {
        if (c.name[0] != '\0') return c.name;
    }
    return "Quillo";
}

void ApplyCameraSettings(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now) {
    if (g_server == nullptr || !g_server->hasPendingCameraSettings()) return;
    const CameraSettings s = g_server->getPendingCameraSettings();
    const std::string key = CameraSettingsKey(s, g_server->snapshotClients());
    // A composition switch drops the kept settings now rather than after this record is stored,
    // so the record survives and counts as the phone's first for the new composition.
    SwitchPhonesComposition(comp);

    const auto found = g_lastCamMap.find(key);
    const bool existed = found != g_lastCamMap.end();
    CameraSettings& stored = existed ? found->second : g_lastCamMap[key];
    // A new phone shows all five values, whatever they are.
    const bool zoomChanged = !existed || LensChanged(s.zoom, stored.zoom);
    const bool focusChanged = !existed || LensChanged(s.focusDistance, stored.focusDistance);
    const bool apertureChanged = !existed || LensChanged(s.aperture, stored.aperture);
    const bool blurChanged = !existed || LensChanged(s.blurLevel, stored.blurLevel);
    const bool dofChanged = !existed || s.dof != stored.dof;
    stored = s;

    // While recording, each recorded frame keyframes the stored values instead.
    if (g_recordState) return;
    AEGP_LayerH layer = EnsurePhoneCamera(comp, compItem, key);
    if (layer == nullptr) return;
    PhoneCameraEntry& entry = g_phoneCameras[key];
    double secs = 0.0;
    TimeToSecs(now, &secs);
    ApplyProp1D(layer, AEGP_LayerStream_ZOOM, s.zoom, zoomChanged, now, secs, entry.zoomPreview);
    ApplyProp1D(layer, AEGP_LayerStream_FOCUS_DISTANCE, s.focusDistance, focusChanged, now, secs,
                entry.focusPreview);
    ApplyProp1D(layer, AEGP_LayerStream_APERTURE, s.aperture, apertureChanged, now, secs,
                entry.aperturePreview);
    ApplyProp1D(layer, AEGP_LayerStream_BLUR_LEVEL, s.blurLevel, blurChanged, now, secs, entry.blurPreview);
    ApplyProp1D(layer, AEGP_LayerStream_DEPTH_OF_FIELD, s.dof ? 1.0f : 0.0f, dofChanged, now, secs,
                entry.dofPreview);
}
