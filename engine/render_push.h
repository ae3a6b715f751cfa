// One render of the active composition at a quarter of its size, encoded as JPEG and pushed to
// the phones' streams.
#pragma once

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

// Pushes to every phone instead of one.
inline constexpr int kPushToAllPhones = -1;
// JPEG quality of the phones' frames (0.0 .. 1.0).
inline constexpr double kFrameQuality = 0.45;

// Renders the item at the time, 8 bits per channel, downsampled 4 x 4, encodes the host's world
// in place and sends it to the phone streaming on `target` (0 or greater) or to every phone
// (kPushToAllPhones). A render, world or encoding that fails sends nothing.
void RenderAndPushFrame(AEGP_SuiteHandler& suites, AEGP_ItemH item, A_Time time, int target);
