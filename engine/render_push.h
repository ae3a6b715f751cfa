// One render of the active composition at a quarter of its size, pushed to the phones' streams:
// the main thread only copies the host's pixels before the frame goes back to the host; the
// phones' senders encode the JPEG and write it on their own threads.
#pragma once

#include <cstdint>
#include <memory>

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;
class OutgoingFrame;

// Pushes to every phone instead of one.
inline constexpr int kPushToAllPhones = -1;
// JPEG quality of the phones' frames (0.0 .. 1.0).
inline constexpr double kFrameQuality = 0.45;

// Renders the item at the time, 8 bits per channel, downsampled 4 x 4, copies the host's world
// and hands it to the sender of the phone streaming on `target` (0 or greater) or to every
// phone's (kPushToAllPhones). A render or world that fails sends nothing, and so does an encoding
// that fails later on a sender.
// Frames pushed with the same `batch` (OutgoingFrame::NewBatch) are kept together by a phone's
// sender; 0 puts the frame in a batch of its own. Returns the frame handed over (null when none
// was): the senders hold it until they have written it.
std::shared_ptr<OutgoingFrame> RenderAndPushFrame(AEGP_SuiteHandler& suites, AEGP_ItemH item, A_Time time, int target,
                                                  uint64_t batch = 0);
