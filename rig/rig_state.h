// Process-wide state of the camera rig: one record per phone that drives a camera layer of the
// active composition, the composition those records' layer handles refer to, and the lens
// settings kept per phone. Only the host's main thread, inside the idle callback, touches any
// of it; there is no lock.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/link_types.h"
#include "link/motion_receiver.h"
#include "sdk/AE_SDK.h"

// One preview (live) keyframe: a keyframe the plug-in inserted on an animated stream only to
// show a live value, deleted again before the next live value is shown on that stream. It
// remembers where it was made and what it holds, so that it is taken away from that layer only,
// and only while it is still the key the plug-in made.
struct PreviewKFState {
    double secs = 0.0;            // composition time of the preview keyframe, seconds
    bool active = false;          // a preview keyframe made by the plug-in stands at secs
    AEGP_CompH comp = nullptr;    // the composition and layer it was made on
    AEGP_LayerH layer = nullptr;
    double value[3] = {0, 0, 0};  // the value it was given (1-D streams: the first)
};

// The rig's record of one phone, kept under the phone's name.
struct PhoneCameraEntry {
    AEGP_LayerH layer = nullptr;   // the camera layer the phone drives; null until resolved
    std::string targetCam;         // camera layer name the phone drives; empty: the phone's name
    float basePos[3] = {0, 0, 0};  // Position captured as origin of the position offsets
    bool hasBasePos = false;       // basePos is valid for layer
    PerSenderMotion lastMotion{};  // newest motion sample applied for this phone
    bool hasLastMotion = false;
    PreviewKFState orientPreview;
    PreviewKFState positionPreview;
    PreviewKFState zoomPreview;
    PreviewKFState focusPreview;
    PreviewKFState aperturePreview;
    PreviewKFState blurPreview;
    PreviewKFState dofPreview;
};

// Phone name -> record. Access by key creates a fresh record; records stay while the plug-in is
// loaded, so a phone that reconnects under the same name finds its record again.
extern std::map<std::string, PhoneCameraEntry> g_phoneCameras;
// The composition whose layers every record's layer handle names; null at load.
extern AEGP_CompH g_cameraCompH;
// Lens settings per phone key; emptied when the phones' composition changes.
extern std::map<std::string, CameraSettings> g_lastCamMap;
// Continuous recording is on: every work pass with new motion records one frame. Survives
// composition changes, phone disconnects and stopping the services.
extern bool g_recordState;
// Live keyframes let go of while the host refused to take them away, each with its stream;
// taken away on a later pass (see preview_keyframes.h).
extern std::vector<std::pair<AEGP_LayerStream, PreviewKFState>> g_liveKeysToTakeAway;
// Signature of the camera list the viewer layout was last arranged for; empty at load.
extern std::string g_lastViewerSig;

// Back to the state at load: no phone records, no composition, no lens settings, not recording,
// no live keyframe waiting.
void ResetRigState();
