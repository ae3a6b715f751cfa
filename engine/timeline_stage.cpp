// The timeline stage of a work pass: the active composition, its time, and the phones' camera
// choices. A choice is applied only in a pass that found both, so one that arrives while no
// composition is active waits in the server's slot.
#include <cstring>
#include <string>

#include "engine/comp_context.h"
#include "engine/engine_state.h"
#include "engine/idle_stages.h"
#include "host/plugin.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "rig/camera_layers.h"
#include "rig/rig_state.h"

using qlo::log::Log;

namespace {

// Counts a timeline log; true when this one is due (one in 300).
bool TimelineLogDue() {
    return (g_tlLogCounter++) % 300 == 0;
}

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

void ApplyPendingCameraChoice() {
    if (g_server == nullptr || !g_server->hasPendingSelectCamera()) return;
    const SelectCameraRequest request = g_server->getPendingSelectCamera();
    const std::string device = FieldText(request.deviceName);
    if (device.empty()) return;
    const std::string camera = FieldText(request.cameraName);
    PhoneCameraEntry& entry = g_phoneCameras[device];
    // A phone without a choice looks through its own camera, named after the phone.
    RetargetPhoneCamera(entry, camera.empty() ? device : camera);
    Log("[Quillo] Phone \"%s\" → camera layer \"%s\"", device.c_str(), entry.targetCam.c_str());
}

void RunTimelineStage(AEGP_SuiteHandler& suites) {
    const CompLookup lookup = LookUpActiveComp(suites);
    switch (lookup.outcome) {
    case CompLookup::NoActiveItem:
        if (TimelineLogDue()) {
            Log("[Quillo TL] No active item (err=%d, itemH=%p)", lookup.err,
                static_cast<void*>(lookup.item));
        }
        return;
    case CompLookup::NotAComp:
        if (TimelineLogDue()) {
            Log("[Quillo TL] Active item is not a comp (type=%d)", static_cast<int>(lookup.type));
        }
        return;
    case CompLookup::NoComp:
        return;
    case CompLookup::Found:
        break;
    }
    g_lastValidCompH = lookup.context.comp;
    // A pending timeline command is carried out here, before the time is read, so that a seek
    // shows in the state this pass publishes.

    A_Time time{0, 1};
    bool previewing = false;
    if (!FindCompTime(suites, lookup.context.item, &time, &previewing)) return;
    // The timeline state (time, duration, frame rate, previewing) is published from here.

    // First pass, or first pass after the phones' composition changed: refresh the camera list
    // on the next tick.
    if (g_cameraListTick == 0) s_camRefreshTick = 0;
    ++g_cameraListTick;
    ApplyPendingCameraChoice();
}
