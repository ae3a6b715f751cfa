// The command stage of a work pass: new motion into the phones' cameras while some phone is
// allowed, record commands and lens settings, then the capture stage while phones are connected.
// It also gives the user's project back what no phone uses any more: live keyframes of phones
// that left or of another item, and camera switches once no phone renders through a camera.
#include <string>
#include <vector>

#include "engine/camera_switches.h"
#include "engine/comp_context.h"
#include "engine/idle_stages.h"
#include "base/plugin_state.h"
#include "base/helpers.h"
#include "base/main_thread.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "rig/camera_settings.h"
#include "rig/motion_apply.h"
#include "rig/preview_keyframes.h"
#include "rig/recording.h"
#include "rig/rig_state.h"

namespace {

std::vector<std::string> ConnectedPhoneNames() {
    std::vector<std::string> names;
    if (g_server == nullptr) return names;
    for (const ClientInfo& client : g_server->snapshotClients()) {
        names.push_back(FieldText(client.name));
    }
    return names;
}

}  // namespace

void RunCommandStage() {
    QLO_MAIN_THREAD_ONLY("The command stage");
    // Reading the flag clears it: a sample that arrives while no phone is allowed is dropped.
    const bool newMotion = g_motion != nullptr && g_motion->hasNewData();
    const int clients = g_server != nullptr ? g_server->clientCount() : 0;
    const bool pendingSettings = g_server != nullptr && g_server->hasPendingCameraSettings();
    const bool pendingRecord = g_server != nullptr && g_server->hasPendingRecordCommand();

    // The last phone has gone: the user's camera switches come back.
    if (clients <= 0) RestoreCameraSwitches();
    const bool liveKeys = AnyLiveKeys();
    // Nothing can have changed.
    if (clients <= 0 && !newMotion && !pendingSettings && !pendingRecord && !g_recordState &&
        !liveKeys) {
        return;
    }

    AEGP_SuiteHandler suites(g_basicSuite);
    const CompLookup lookup = LookUpActiveComp(suites);
    const bool compActive = lookup.outcome == CompLookup::Found;
    // Live values stay only where a connected phone shows them: in the active composition.
    if (liveKeys) {
        TakeAwayLiveKeysNotShown(ConnectedPhoneNames(), compActive ? lookup.context.comp : nullptr);
    }
    if (!compActive) {
        // No phone renders through a camera while no composition is active.
        RestoreSavedSwitches(suites);
        return;
    }
    const CompContext& context = lookup.context;
    A_Time time{0, 1};
    if (!FindCompTime(suites, context.item, &time, nullptr)) return;

    const bool allowed = g_server != nullptr && g_server->anyClientAllowed();
    // While no phone is allowed, record commands and lens settings wait in the server's slots.
    if (allowed) {
        if (newMotion) ApplyMotionToCamera(context.comp, context.item, time);
        HandleRecordCommand(context.comp, context.item, time, newMotion);
        ApplyCameraSettings(context.comp, context.item, time);
    }

    if (g_server != nullptr && g_server->clientCount() != 0) {
        RunCaptureStage(suites, context.comp, context.item, time);
    }
}
