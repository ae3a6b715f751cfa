// The video switches of the composition's camera layers. The host renders a composition through
// the top-most enabled camera, so the capture stage steers each render by switching camera
// layers on and off. Before it first changes them it saves the switches as the user left them,
// and it puts them back once no phone looks through a camera, when the last phone has gone,
// when the services stop and when the plug-in unloads. Main thread only.
#pragma once

#include <vector>

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

struct CameraState {
    AEGP_LayerH layer = nullptr;
    bool visible = true;
};

// Every camera layer of the composition, in layer index order from 0.
std::vector<AEGP_LayerH> CollectCameraLayers(AEGP_SuiteHandler& suites, AEGP_CompH comp);
// The video switch of each layer (on when it cannot be read).
std::vector<CameraState> ReadCameraStates(AEGP_SuiteHandler& suites,
                                          const std::vector<AEGP_LayerH>& cameras);
void SetVideoSwitch(AEGP_SuiteHandler& suites, AEGP_LayerH layer, bool on);

// Saves the switches of `comp` unless saved switches are outstanding.
void SaveCameraSwitches(AEGP_CompH comp, const std::vector<CameraState>& states);
// Whether switches are saved (the plug-in changed them and has not put them back), and for
// which composition.
bool CameraSwitchesSaved();
AEGP_CompH CameraSwitchesComp();
// Puts the saved switches back on the camera layers that are still camera layers of the
// composition they were saved for, and forgets them.
void RestoreSavedSwitches(AEGP_SuiteHandler& suites);

// The same with a suite handler of its own, for callers outside the idle tick (stop and death
// of the services). Does nothing when no switches are saved or the host's basic suite is gone;
// never throws.
void RestoreCameraSwitches() noexcept;
