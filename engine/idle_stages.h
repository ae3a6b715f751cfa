// The stages of one idle tick, in the order the tick runs them: camera-list check, (throttle,)
// timeline stage, command stage, and the capture stage the command stage ends with.
#pragma once

#include <string>
#include <vector>

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

// Counts every check; the refresh of the phones' camera list builds on this counter.
void TryRefreshCameraList();
// The names of the composition's named camera layers in layer order, for GET /cameras.
std::vector<std::string> EnumerateCameraLayers(AEGP_CompH comp);

// Finds the active composition (remembered in g_lastValidCompH) and its time, forces an early
// camera-list refresh after the phones' composition changed, and applies a phone's pending
// camera choice. Leaves the choice pending while there is no composition or no time.
void RunTimelineStage(AEGP_SuiteHandler& suites);
// Takes a pending camera choice and points the phone's camera entry at the chosen camera.
void ApplyPendingCameraChoice();

// While some phone is allowed: applies new motion, carries out a pending record command (or
// records continuously) and applies pending lens settings; then runs the capture stage while
// phones are connected. Touches the host only when something can have changed.
void RunCommandStage();

// Renders the composition once per phone through that phone's camera layer and pushes each
// frame to its phone; phones without a camera share one frame.
void RunCaptureStage(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_ItemH item, A_Time time);
