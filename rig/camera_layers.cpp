#include "rig/camera_layers.h"

#include "base/comp_cameras.h"
#include "base/host_handles.h"
#include "base/main_thread.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "platform/log.h"
#include "rig/layer_names.h"
#include "rig/preview_keyframes.h"

namespace {

// Whether the layer's own name (not its source's) is exactly `wanted`.
bool LayerNameEquals(AEGP_SuiteHandler& suites, AEGP_LayerH layer, const std::u16string& wanted) {
    HostMemory nameH(suites.MemorySuite1());
    std::u16string name;
    return suites.LayerSuite15()->AEGP_GetLayerName(g_pluginID, layer, nameH.out(), nullptr) == A_Err_NONE &&
           nameH.readUtf16(&name) && name == wanted;
}

// A new camera layer named `name` at the centre of the composition; null on failure.
AEGP_LayerH CreateCamera(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_ItemH compItem,
                         const std::u16string& name) {
    A_long width = 0;
    A_long height = 0;
    if (suites.ItemSuite14()->AEGP_GetItemDimensions(compItem, &width, &height) != A_Err_NONE) {
        width = 0;
        height = 0;
    }
    const A_FloatPoint centre{static_cast<double>(static_cast<float>(width) * 0.5f),
                              static_cast<double>(static_cast<float>(height) * 0.5f)};
    std::u16string nameZ = name;
    nameZ.push_back(0);
    AEGP_LayerH layer = nullptr;
    if (suites.CompSuite25()->AEGP_CreateCameraInComp(
            reinterpret_cast<const A_UTF16Char*>(nameZ.c_str()), centre, comp, &layer) !=
        A_Err_NONE) {
        return nullptr;
    }
    return layer;
}

}  // namespace

bool IsCameraLayerOfComp(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_LayerH layer) {
    bool found = false;
    ForEachCameraLayer(suites, comp, [&](A_long, AEGP_LayerH camera) {
        found = camera == layer;
        return !found;
    });
    return layer != nullptr && found;
}

AEGP_LayerH FindCameraByName(AEGP_CompH comp, const std::string& name) {
    AEGP_SuiteHandler suites(g_basicSuite);
    const std::u16string wanted = CameraLayerName(name);
    AEGP_LayerH found = nullptr;
    ForEachCameraLayer(suites, comp, [&](A_long, AEGP_LayerH camera) {
        if (LayerNameEquals(suites, camera, wanted)) found = camera;
        return found == nullptr;
    });
    return found;
}

void DropPhoneCameraLayer(PhoneCameraEntry& entry) {
    LetGoOfLiveKeys(entry);
    entry.layer = nullptr;
    entry.hasBasePos = false;
}

void RetargetPhoneCamera(PhoneCameraEntry& entry, const std::string& cameraName) {
    QLO_MAIN_THREAD_ONLY("The phones' camera records");
    // The camera it already drives: its layer, base position and live values stay as they are.
    if (entry.targetCam == cameraName) return;
    DropPhoneCameraLayer(entry);
    entry.targetCam = cameraName;
}

void SwitchPhonesComposition(AEGP_CompH comp) {
    QLO_MAIN_THREAD_ONLY("The phones' camera records");
    if (comp == g_cameraCompH) return;
    // Another composition: every handle names a layer of the old one.
    for (auto& [name, entry] : g_phoneCameras) DropPhoneCameraLayer(entry);
    g_lastCamMap.clear();
    g_cameraCompH = comp;
    g_cameraListTick = 0;  // the camera list is refreshed early
}

AEGP_LayerH EnsurePhoneCamera(AEGP_CompH comp, AEGP_ItemH compItem, const std::string& phone) {
    QLO_MAIN_THREAD_ONLY("The phones' camera records");
    AEGP_SuiteHandler suites(g_basicSuite);
    SwitchPhonesComposition(comp);
    PhoneCameraEntry& entry = g_phoneCameras[phone];
    // No target stands for the phone's own name; it is written out, so that choosing that name
    // later is seen as the camera the entry already drives.
    if (entry.targetCam.empty()) entry.targetCam = phone;
    const std::string camName = entry.targetCam;

    if (entry.layer != nullptr) {
        if (IsCameraLayerOfComp(suites, comp, entry.layer)) return entry.layer;
        DropPhoneCameraLayer(entry);  // deleted, or no longer a camera
    }

    if (AEGP_LayerH found = FindCameraByName(comp, camName)) {
        entry.layer = found;
        return found;
    }

    // Without a name the host would pick one of its own, which no later lookup could find.
    const std::u16string layerName = CameraLayerName(camName);
    if (layerName.empty()) return nullptr;
    AEGP_LayerH created = CreateCamera(suites, comp, compItem, layerName);
    if (created == nullptr) return nullptr;
    // The Orientation stream alone aims the camera, not its point of interest.
    suites.LayerSuite15()->AEGP_SetLayerFlag(created, AEGP_LayerFlag_LOOK_AT_POI, false);
    entry.layer = created;
    qlo::log::LogInfo("[Quillo] Created camera layer: %{public}s (phoneName=%{public}s)",
                      camName.c_str(), phone.c_str());
    return created;
}
