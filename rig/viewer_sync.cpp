#include "rig/viewer_sync.h"

void SyncViewerLayoutForPhones(const std::vector<std::string>& /*cameraNames*/) {
    // Hand-over point only: the viewer-layout sync that switches the host's viewer to match the
    // phones' cameras lands here. Until then the capture stage's list has no consumer.
}
