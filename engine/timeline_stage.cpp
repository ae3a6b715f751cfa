// The timeline stage of a work pass: the active composition, its time, and the phones' camera
// choices. A choice is applied only in a pass that found both, so one that arrives while no
// composition is active waits in the server's slot.
#include <cstring>
#include <string>

#include "engine/comp_context.h"
#include "engine/engine_state.h"
#include "engine/idle_stages.h"
#include "base/helpers.h"
#include "base/run_script.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "rig/camera_layers.h"
#include "rig/rig_state.h"

using qlo::log::Log;

namespace {

// Counts a timeline log; true when this one is due (one in 300).
bool TimelineLogDue() {
    return TakeAndAdvance(g_tlLogCounter) % 300 == 0;
}

// Seconds of a host time for the published state; a time without a scale is published as 0,
// so that the state always holds finite numbers.
double PublishedSeconds(const A_Time& t) {
    double secs = 0.0;
    TimeToSecs(t, &secs);
    return secs;
}

// The host command that starts or stops playback of the active composition.
constexpr AEGP_Command kTogglePlaybackCommand = 2285;

// Play and pause both toggle: the playing state is not looked at first.
void TogglePlayback() {
    Log("[Quillo] TogglePlayback via AEGP_DoCommand(2285)");
    A_Err err = A_Err_NONE;
    {
        AEGP_SuiteHandler suites(g_basicSuite);
        err = suites.CommandSuite1()->AEGP_DoCommand(kTogglePlaybackCommand);
    }
    if (err != A_Err_NONE) {
        Log("[Quillo] AEGP_DoCommand(2285) failed err=%d, trying ExtendScript fallback",
            static_cast<int>(err));
        RunScript("app.executeCommand(2285);", nullptr);
    }
}

// Carries out one phone timeline command against the active composition. The scripts keep the
// time between 0 and one frame before the end.
void CarryOutTimelineCommand(const TimelineCommand& command) {
    switch (command.action) {
    case TimelineActionSeek: {
        // The decimal point is '.' whatever the process locale: the host parses the script.
        const std::string script =
            "app.project.activeItem.time = " + FixedText(command.time, 6) + ";";
        RunScript(script.c_str(), nullptr);
        break;
    }
    case TimelineActionPlay:
    case TimelineActionPause:
        TogglePlayback();
        break;
    case TimelineActionStepForward:
        RunScript("var c=app.project.activeItem;c.time=Math.min(c.time+c.frameDuration, "
                  "c.duration-c.frameDuration);",
                  nullptr);
        break;
    case TimelineActionStepBack:
        RunScript("var c=app.project.activeItem;c.time=Math.max(0, c.time-c.frameDuration);",
                  nullptr);
        break;
    case TimelineActionGoToStart:
        RunScript("app.project.activeItem.time = 0;", nullptr);
        break;
    case TimelineActionGoToEnd:
        RunScript("var c=app.project.activeItem;c.time=c.duration-c.frameDuration;", nullptr);
        break;
    default:
        break;
    }
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
    // The command is carried out before the time is read, so that a seek shows in the state
    // this pass publishes.
    if (g_server->hasPendingTimelineCommand()) {
        CarryOutTimelineCommand(g_server->getPendingTimelineCommand());
    }

    A_Time time{0, 1};
    bool previewing = false;
    if (!FindCompTime(suites, lookup.context.item, &time, &previewing)) return;

    // A failed call leaves its preset: 30 frames a second, a duration of 0.
    A_FpLong fps = 30.0;
    if (suites.CompSuite25()->AEGP_GetCompFramerate(lookup.context.comp, &fps) != A_Err_NONE) {
        fps = 30.0;
    }
    A_Time duration{0, 1};
    if (suites.ItemSuite14()->AEGP_GetItemDuration(lookup.context.item, &duration) != A_Err_NONE) {
        duration = A_Time{0, 1};
    }
    TimelineState state;
    state.currentTime = PublishedSeconds(time);
    state.duration = PublishedSeconds(duration);
    state.fps = fps;
    state.playing = previewing;
    g_server->updateTimelineState(state);

    // First pass, or first pass after the phones' composition changed: refresh the camera list
    // on the next tick.
    if (g_cameraListTick == 0) s_camRefreshTick = 0;
    TakeAndAdvance(g_cameraListTick);
    ApplyPendingCameraChoice();

    if (TimelineLogDue()) {
        Log("[Quillo TL] time=%.3f/%.3f fps=%.1f playing=%d (raw: val=%ld scale=%lu dur_val=%ld "
            "dur_scale=%lu)",
            state.currentTime, state.duration, state.fps, state.playing ? 1 : 0,
            static_cast<long>(time.value), static_cast<unsigned long>(time.scale),
            static_cast<long>(duration.value), static_cast<unsigned long>(duration.scale));
    }
}
