#include "engine/camera_switches.h"

#include <iterator>
#include <map>
#include <set>

#include "base/boundary.h"
#include "base/comp_cameras.h"
#include "base/main_thread.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "rig/host_presence.h"

namespace {

// Per composition the plug-in changed switches in: the switch each camera layer had before the
// plug-in first changed it. A layer stays here until its switch is back (or it is gone).
std::map<AEGP_CompH, std::map<AEGP_LayerH, bool>> g_savedSwitches;

// Puts the saved switches of one composition back; those the host refuses stay saved. Returns
// whether nothing of that composition is left to put back.
bool RestoreComp(AEGP_SuiteHandler& suites, AEGP_CompH comp, std::map<AEGP_LayerH, bool>& saved) {
    const Presence presence = CompPresence(suites, comp);
    if (presence == Presence::Gone) return true;  // its layers went with it
    if (presence == Presence::Unknown) return false;
    // Only handles the host lists now reach it: a layer deleted meanwhile is not set, and is
    // forgotten once the whole list could be read.
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return false;
    std::set<AEGP_LayerH> listed;
    bool complete = true;
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH layer = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &layer) == A_Err_NONE) {
            listed.insert(layer);
        } else {
            complete = false;
        }
    }
    for (auto it = saved.begin(); it != saved.end();) {
        const bool back = listed.count(it->first) != 0
                              ? layers->AEGP_SetLayerFlag(it->first, AEGP_LayerFlag_VIDEO_ACTIVE,
                                                          it->second) == A_Err_NONE
                              : complete;
        it = back ? saved.erase(it) : std::next(it);
    }
    return saved.empty();
}

}  // namespace

std::vector<AEGP_LayerH> CollectCameraLayers(AEGP_SuiteHandler& suites, AEGP_CompH comp) {
    std::vector<AEGP_LayerH> cameras;
    ForEachCameraLayer(suites, comp, [&](A_long, AEGP_LayerH layer) {
        cameras.push_back(layer);
        return true;
    });
    return cameras;
}

std::vector<CameraState> ReadCameraStates(AEGP_SuiteHandler& suites,
                                          const std::vector<AEGP_LayerH>& cameras) {
    std::vector<CameraState> states;
    states.reserve(cameras.size());
    for (AEGP_LayerH layer : cameras) {
        AEGP_LayerFlags flags = AEGP_LayerFlag_NONE;
        const bool read = suites.LayerSuite15()->AEGP_GetLayerFlags(layer, &flags) == A_Err_NONE;
        states.push_back({layer, !read || (flags & AEGP_LayerFlag_VIDEO_ACTIVE) != 0, read});
    }
    return states;
}

void SetVideoSwitch(AEGP_SuiteHandler& suites, AEGP_LayerH layer, bool on) {
    suites.LayerSuite15()->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, on);
}

void SaveCameraSwitches(AEGP_CompH comp, const std::vector<CameraState>& states) {
    QLO_MAIN_THREAD_ONLY("The saved camera switches");
    // A layer already saved keeps the switch the user gave it; the plug-in has changed it since.
    std::map<AEGP_LayerH, bool>& saved = g_savedSwitches[comp];
    for (const CameraState& state : states) saved.emplace(state.layer, state.visible);
}

bool CameraSwitchesSaved() {
    return !g_savedSwitches.empty();
}

bool CameraSwitchSaved(AEGP_CompH comp, AEGP_LayerH layer) {
    const auto it = g_savedSwitches.find(comp);
    return it != g_savedSwitches.end() && it->second.contains(layer);
}

AEGP_CompH CameraSwitchesComp() {
    return g_savedSwitches.size() == 1 ? g_savedSwitches.begin()->first : nullptr;
}

void ForgetCameraSwitches() {
    QLO_MAIN_THREAD_ONLY("The saved camera switches");
    g_savedSwitches.clear();
}

void RestoreSavedSwitches(AEGP_SuiteHandler& suites) {
    QLO_MAIN_THREAD_ONLY("The saved camera switches");
    for (auto it = g_savedSwitches.begin(); it != g_savedSwitches.end();) {
        it = RestoreComp(suites, it->first, it->second) ? g_savedSwitches.erase(it) : std::next(it);
    }
}

void RestoreCameraSwitches() noexcept {
    if (g_savedSwitches.empty() || g_basicSuite == nullptr) return;
    QLOCallFromHost("RestoreCameraSwitches", [] {
        AEGP_SuiteHandler suites(g_basicSuite);
        RestoreSavedSwitches(suites);
        return A_Err_NONE;
    });
}
