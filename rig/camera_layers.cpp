#include "rig/camera_layers.h"

#include <algorithm>

#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "platform/log.h"
#include "rig/layer_names.h"
#include "rig/preview_keyframes.h"

namespace {

bool IsCamera(AEGP_SuiteHandler& suites, AEGP_LayerH layer) {
    AEGP_ObjectType type = AEGP_ObjectType_NONE;
    return suites.LayerSuite15()->AEGP_GetLayerObjectType(layer, &type) == A_Err_NONE &&
           type == AEGP_ObjectType_CAMERA;
}

// Whether the layer's own name (not its source's) is exactly `wanted`. The host hands the name
// over as a memory handle, which is freed here in every case.
bool LayerNameEquals(AEGP_SuiteHandler& suites, AEGP_LayerH layer, const std::u16string& wanted) {
    AEGP_MemHandle nameH = nullptr;
    if (suites.LayerSuite15()->AEGP_GetLayerName(g_pluginID, layer, &nameH, nullptr) !=
            A_Err_NONE ||
        nameH == nullptr) {
        return false;
    }
    const AEGP_MemorySuite1* memory = suites.MemorySuite1();
    bool match = false;
    void* text = nullptr;
    if (memory->AEGP_LockMemHandle(nameH, &text) == A_Err_NONE) {
        if (text != nullptr) {
            const auto* units = static_cast<const A_UTF16Char*>(text);
            size_t length = 0;
            while (units[length] != 0) ++length;
            match = length == wanted.size() &&
                    std::equal(wanted.begin(), wanted.end(), units,
                               [](char16_t a, A_UTF16Char b) { return a == b; });
        }
        memory->AEGP_UnlockMemHandle(nameH);
    }
    memory->AEGP_FreeMemHandle(nameH);
    return match;
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
    if (comp == nullptr || layer == nullptr || !IsCamera(suites, layer)) return false;
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return false;
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH candidate = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &candidate) == A_Err_NONE &&
            candidate == layer) {
            return true;
        }
    }
    return false;
}

AEGP_LayerH FindCameraByName(AEGP_CompH comp, const std::string& name) {
    AEGP_SuiteHandler suites(g_basicSuite);
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return nullptr;
    const std::u16string wanted = CameraLayerName(name);
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH layer = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &layer) != A_Err_NONE || layer == nullptr) {
            continue;
        }
        if (IsCamera(suites, layer) && LayerNameEquals(suites, layer, wanted)) return layer;
    }
    return nullptr;
}

void DropPhoneCameraLayer(PhoneCameraEntry& entry) {
    LetGoOfLiveKeys(entry);
    entry.layer = nullptr;
    entry.hasBasePos = false;
}

void RetargetPhoneCamera(PhoneCameraEntry& entry, const std::string& cameraName) {
    // The camera it already drives: its layer, base position and live values stay as they are.
    if (entry.targetCam == cameraName) return;
    DropPhoneCameraLayer(entry);
    entry.targetCam = cameraName;
}

void SwitchPhonesComposition(AEGP_CompH comp) {
    if (comp == g_cameraCompH) return;
    // Another composition: every handle names a layer of the old one.
    for (auto& [name, entry] : g_phoneCameras) DropPhoneCameraLayer(entry);
    g_lastCamMap.clear();
    g_cameraCompH = comp;
    g_cameraListTick = 0;  // the camera list is refreshed early
}

AEGP_LayerH EnsurePhoneCamera(AEGP_CompH comp, AEGP_ItemH compItem, const std::string& phone) {
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
