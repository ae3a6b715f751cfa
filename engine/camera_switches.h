// The video switches of the composition's camera layers. The host renders a composition through
// the top-most enabled camera, so the capture stage steers each render by switching camera
// layers on and off. Before it first changes a layer's switch it saves the switch as the user
// left it, and it puts the saved switches back once no phone looks through a camera, when no
// composition is active, when the last phone has gone, when the services stop or start and when
// the plug-in unloads. A switch the host does not let the plug-in put back stays saved and is
// put back by the next of these that can. Main thread only.
#pragma once

#include <vector>

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

struct CameraState {
    AEGP_LayerH layer = nullptr;
    bool visible = true;
    bool known = true;  // false when the switch could not be read (then `visible` is a guess)
};

// Every camera layer of the composition, in layer index order from 0.
std::vector<AEGP_LayerH> CollectCameraLayers(AEGP_SuiteHandler& suites, AEGP_CompH comp);
// The video switch of each layer (on, and not known, when it cannot be read).
std::vector<CameraState> ReadCameraStates(AEGP_SuiteHandler& suites,
                                          const std::vector<AEGP_LayerH>& cameras);
void SetVideoSwitch(AEGP_SuiteHandler& suites, AEGP_LayerH layer, bool on);

// Saves the switches of the camera layers of `comp` that are not saved yet (a switch already
// saved keeps the user's value; a camera added since is saved as it is now).
void SaveCameraSwitches(AEGP_CompH comp, const std::vector<CameraState>& states);
// Whether switches are saved (the plug-in changed them and has not put them all back), and the
// composition they are saved for when it is one (null when none or several).
bool CameraSwitchesSaved();
// Whether the switch of this layer of `comp` is saved.
bool CameraSwitchSaved(AEGP_CompH comp, AEGP_LayerH layer);
AEGP_CompH CameraSwitchesComp();
// Forgets every saved switch (the state at load).
void ForgetCameraSwitches();
// Puts the saved switches back on the layers that are still in the composition they were saved
// for, and forgets them. Switches the host refuses to set, or whose layers cannot be listed,
// stay saved; those of deleted layers and compositions are forgotten.
void RestoreSavedSwitches(AEGP_SuiteHandler& suites);

// The same with a suite handler of its own, for callers outside the idle tick (stop and death
// of the services). Does nothing when no switches are saved or the host's basic suite is gone;
// never throws.
void RestoreCameraSwitches() noexcept;
