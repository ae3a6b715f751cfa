// A phone's lens settings (zoom, focus distance, aperture, blur level, depth of field) into its
// camera layer. Main thread only, inside the idle callback.
#pragma once

#include <string>
#include <vector>

#include "link/link_types.h"
#include "sdk/AE_SDK.h"

// Takes the server's pending lens settings, stores them in g_lastCamMap under the phone they
// belong to and, unless continuous recording is on, shows the values that changed live on that
// phone's camera.
void ApplyCameraSettings(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now);

// The phone the settings are for: their device name, else the first allowed named phone, else
// the first named phone, else "Quillo".
std::string CameraSettingsKey(const CameraSettings& settings, const std::vector<ClientInfo>& clients);
