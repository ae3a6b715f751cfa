#include "rig/rig_state.h"

#include "base/main_thread.h"

std::map<std::string, PhoneCameraEntry> g_phoneCameras;
AEGP_CompH g_cameraCompH = nullptr;
std::map<std::string, CameraSettings> g_lastCamMap;
bool g_recordState = false;
std::string g_lastViewerSig;
std::vector<std::pair<AEGP_LayerStream, PreviewKFState>> g_liveKeysToTakeAway;

void ResetRigState() {
    QLO_MAIN_THREAD_ONLY("The rig's state");
    g_phoneCameras.clear();
    g_cameraCompH = nullptr;
    g_lastCamMap.clear();
    g_recordState = false;
    g_lastViewerSig.clear();
    g_liveKeysToTakeAway.clear();
}
