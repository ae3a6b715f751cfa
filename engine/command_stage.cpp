// The command stage of a work pass: new motion into the phones' cameras while some phone is
// allowed, record commands and lens settings, then the capture stage while phones are connected.
#include "engine/camera_switches.h"
#include "engine/comp_context.h"
#include "engine/idle_stages.h"
#include "host/plugin.h"
#include "host/suite_handler.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "rig/camera_settings.h"
#include "rig/motion_apply.h"
#include "rig/recording.h"
#include "rig/rig_state.h"

void RunCommandStage() {
    // Reading the flag clears it: a sample that arrives while no phone is allowed is dropped.
    const bool newMotion = g_motion != nullptr && g_motion->hasNewData();
    const int clients = g_server != nullptr ? g_server->clientCount() : 0;
    const bool pendingSettings = g_server != nullptr && g_server->hasPendingCameraSettings();
    const bool pendingRecord = g_server != nullptr && g_server->hasPendingRecordCommand();

    // The last phone has gone: the user's camera switches come back.
    if (clients <= 0) RestoreCameraSwitches();
    // Nothing can have changed.
    if (clients <= 0 && !newMotion && !pendingSettings && !pendingRecord && !g_recordState) return;

    AEGP_SuiteHandler suites(g_basicSuite);
    const CompLookup lookup = LookUpActiveComp(suites);
    if (lookup.outcome != CompLookup::Found) return;
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
