// The host viewer's layout follows the cameras the phones look through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Called at the end of every capture pass with the camera names of that pass's render jobs, in
// job order (empty when no phone looks through a camera). When the list differs from the one
// last acted on, runs a script that picks a one-, two- or four-view layout and makes each view
// look through one phone's camera; the script's outcome is logged.
void SyncViewerLayoutForPhones(const std::vector<std::string>& cameraNames);

// How many times since load the sync has run its script on a viewer (a script that found no
// composition or no viewer does not count). The panel's split-view set-up, which arranges the
// same viewer by pressing its controls step by step, reads it to learn that the sync rearranged
// the viewer in the middle of its steps.
uint64_t ViewerSyncRunCount();

// The signature a camera list is compared by: every name's byte length, ":", the name and "|",
// so that lists of names holding "|" or ":" never share one. The empty list gives "".
std::string ViewerSignature(const std::vector<std::string>& cameraNames);

// The script that arranges the viewer for these cameras.
std::string ViewerLayoutScript(const std::vector<std::string>& cameraNames);
