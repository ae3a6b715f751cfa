#include "rig/rig_state.h"

std::map<std::string, PhoneCameraEntry> g_phoneCameras;
AEGP_CompH g_cameraCompH = nullptr;
std::map<std::string, CameraSettings> g_lastCamMap;
bool g_recordState = false;
std::string g_lastViewerSig;
