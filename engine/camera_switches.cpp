#include "engine/camera_switches.h"

#include <map>

#include "host/boundary.h"
#include "host/plugin.h"
#include "host/suite_handler.h"

namespace {

// The switch each camera layer had before the plug-in first changed it.
std::map<AEGP_LayerH, bool> g_originalCamFlags;
// The plug-in has changed switches and not put them back.
bool g_compModifiedByUs = false;
// The composition whose switches g_originalCamFlags holds.
AEGP_CompH g_switchesCompH = nullptr;

}  // namespace

std::vector<AEGP_LayerH> CollectCameraLayers(AEGP_SuiteHandler& suites, AEGP_CompH comp) {
    std::vector<AEGP_LayerH> cameras;
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (comp == nullptr || layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return cameras;
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH layer = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &layer) != A_Err_NONE || layer == nullptr) {
            continue;
        }
        AEGP_ObjectType type = AEGP_ObjectType_NONE;
        if (layers->AEGP_GetLayerObjectType(layer, &type) == A_Err_NONE &&
            type == AEGP_ObjectType_CAMERA) {
            cameras.push_back(layer);
        }
    }
    return cameras;
}

std::vector<CameraState> ReadCameraStates(AEGP_SuiteHandler& suites,
                                          const std::vector<AEGP_LayerH>& cameras) {
    std::vector<CameraState> states;
    states.reserve(cameras.size());
    for (AEGP_LayerH layer : cameras) {
        AEGP_LayerFlags flags = AEGP_LayerFlag_NONE;
        const bool read = suites.LayerSuite15()->AEGP_GetLayerFlags(layer, &flags) == A_Err_NONE;
        states.push_back({layer, !read || (flags & AEGP_LayerFlag_VIDEO_ACTIVE) != 0});
    }
    return states;
}

void SetVideoSwitch(AEGP_SuiteHandler& suites, AEGP_LayerH layer, bool on) {
    suites.LayerSuite15()->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, on);
}

void SaveCameraSwitches(AEGP_CompH comp, const std::vector<CameraState>& states) {
    if (g_compModifiedByUs) return;
    g_originalCamFlags.clear();
    for (const CameraState& state : states) g_originalCamFlags[state.layer] = state.visible;
    g_switchesCompH = comp;
    g_compModifiedByUs = true;
}

bool CameraSwitchesSaved() {
    return g_compModifiedByUs;
}

AEGP_CompH CameraSwitchesComp() {
    return g_switchesCompH;
}

void RestoreSavedSwitches(AEGP_SuiteHandler& suites) {
    if (!g_compModifiedByUs) return;
    // Only handles confirmed as camera layers of that composition reach the host: a layer the
    // user deleted meanwhile, or a composition that is gone, is simply not found here.
    for (AEGP_LayerH layer : CollectCameraLayers(suites, g_switchesCompH)) {
        auto saved = g_originalCamFlags.find(layer);
        if (saved != g_originalCamFlags.end()) SetVideoSwitch(suites, layer, saved->second);
    }
    g_originalCamFlags.clear();
    g_switchesCompH = nullptr;
    g_compModifiedByUs = false;
}

void RestoreCameraSwitches() noexcept {
    if (!g_compModifiedByUs || g_basicSuite == nullptr) return;
    QLOCallFromHost("RestoreCameraSwitches", [] {
        AEGP_SuiteHandler suites(g_basicSuite);
        RestoreSavedSwitches(suites);
        return A_Err_NONE;
    });
}
