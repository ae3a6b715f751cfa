// The host viewer's layout follows the cameras the phones look through.
#pragma once

#include <string>
#include <vector>

// Called at the end of every capture pass with the camera names of that pass's render jobs, in
// job order (empty when no phone looks through a camera).
void SyncViewerLayoutForPhones(const std::vector<std::string>& cameraNames);
