// The phones' camera layers: which camera layer of the active composition each phone drives,
// found by its layer name or created. Callers keep no layer handle across idle ticks other than
// through PhoneCameraEntry::layer and call EnsurePhoneCamera again whenever they need the
// camera. Main thread only, inside the idle callback.
#pragma once

#include <string>

#include "rig/rig_state.h"
#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

// The first camera layer (lowest index, top of the stack) whose own layer name is exactly
// `name` (UTF-8, compared as UTF-16 code units); null when there is none.
AEGP_LayerH FindCameraByName(AEGP_CompH comp, const std::string& name);

// Makes `comp` the phones' composition. When it is another one, every entry lets go of its layer,
// the lens settings kept per phone are dropped and the camera list is refreshed early.
void SwitchPhonesComposition(AEGP_CompH comp);

// The camera layer the phone of that name drives in the composition: the one it already
// drives, else the camera named after its target camera (or after the phone), else a new
// camera of that name at the composition's centre. Null when it can be neither found nor made.
AEGP_LayerH EnsurePhoneCamera(AEGP_CompH comp, AEGP_ItemH compItem, const std::string& phone);

// Points the entry at another camera name; its layer is dropped (see DropPhoneCameraLayer) so
// that the next EnsurePhoneCamera resolves the new name and captures a new base position. The
// name of the camera the entry already drives changes nothing.
void RetargetPhoneCamera(PhoneCameraEntry& entry, const std::string& cameraName);

// Lets go of the entry's layer handle: clears layer and base position and takes the entry's live
// keyframes away from the layers they were made on, so none stays behind to pass for the
// user's (see LetGoOfLiveKeys).
void DropPhoneCameraLayer(PhoneCameraEntry& entry);

// Whether the handle names a camera layer that is among the composition's layers.
bool IsCameraLayerOfComp(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_LayerH layer);
