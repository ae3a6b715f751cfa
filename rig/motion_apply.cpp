#include "rig/motion_apply.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/helpers.h"
#include "base/host_handles.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "platform/log.h"
#include "rig/camera_layers.h"
#include "rig/keyframes.h"
#include "rig/preview_keyframes.h"
#include "rig/rig_state.h"

using qlo::log::Log;
using qlo::log::LogInfo;

namespace {

// Wall-clock milliseconds of the last client dump.
uint64_t s_lastDiagTick = 0;

const char* OrEmpty(const std::string& text) {
    return text.empty() ? "(empty)" : text.c_str();
}

// At most every two seconds: the registry as this pass sees it.
void DumpClientsIfDue(const std::vector<ClientInfo>& clients) {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto nowMs = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
    if (nowMs - s_lastDiagTick <= 2000) return;
    s_lastDiagTick = nowMs;
    LogInfo("[Quillo Diag] snapshotClients count=%zu", clients.size());
    for (size_t i = 0; i < clients.size(); ++i) {
        const ClientInfo& c = clients[i];
        LogInfo("[Quillo Diag]   [%zu] fd=%d ip=%{public}s name=%{public}s targetCam=%{public}s "
                "allowed=%d",
                i, c.fd, OrEmpty(FieldText(c.ip)), OrEmpty(FieldText(c.name)),
                OrEmpty(FieldText(c.targetCam)), c.allowed ? 1 : 0);
    }
}

// The camera's Position at composition time 0 becomes the origin of the phone's offsets.
void CaptureBasePosition(AEGP_LayerH layer, const std::string& phone, PhoneCameraEntry& entry) {
    AEGP_SuiteHandler suites(g_basicSuite);
    const AEGP_StreamSuite11* streams = suites.StreamSuite11();
    HostStream stream(streams);
    if (streams->AEGP_GetNewLayerStream(g_pluginID, layer, AEGP_LayerStream_POSITION, stream.out()) !=
            A_Err_NONE ||
        !stream) {
        return;
    }
    const A_Time zero{0, 1};
    HostStreamValue value(streams);
    if (!value.take([&](AEGP_StreamValue2* v) {
            return streams->AEGP_GetNewStreamValue(g_pluginID, stream.get(), AEGP_LTimeMode_CompTime, &zero,
                                                   false, v);
        })) {
        return;
    }
    entry.basePos[0] = static_cast<float>(value.val().three_d.x);
    entry.basePos[1] = static_cast<float>(value.val().three_d.y);
    entry.basePos[2] = static_cast<float>(value.val().three_d.z);
    entry.hasBasePos = true;
    Log("[Quillo] Camera base position for \"%s\": %s, %s, %s", phone.c_str(),
        FixedText(entry.basePos[0], 1).c_str(), FixedText(entry.basePos[1], 1).c_str(),
        FixedText(entry.basePos[2], 1).c_str());
}

void ApplySample(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now, double nowSecs,
                 const ClientInfo& client) {
    const std::string phone = FieldText(client.name);
    const std::string ip = FieldText(client.ip);
    const std::string clientTarget = FieldText(client.targetCam);
    if (!client.allowed || phone.empty() || ip.empty()) return;

    PerSenderMotion sample{};
    if (!g_motion->consumeMotionForSender(ip, sample) || !(sample.fresh || sample.reset)) return;

    PhoneCameraEntry& entry = g_phoneCameras[phone];
    entry.lastMotion = sample;
    entry.hasLastMotion = true;

    // The phone's own choice wins over what the entry held.
    const std::string wanted = clientTarget.empty() ? phone : clientTarget;
    LogInfo("[Quillo motion-sync] phone=%{public}s clientTargetCam=%{public}s "
            "entryTargetCam=%{public}s wantedCam=%{public}s",
            OrEmpty(phone), OrEmpty(clientTarget), OrEmpty(entry.targetCam), OrEmpty(wanted));
    if (entry.targetCam != wanted) RetargetPhoneCamera(entry, wanted);

    Log("[Quillo Motion] Applying motion ip=\"%s\" name=\"%s\" → camera \"%s\" orient=(%s,%s,%s)",
        ip.c_str(), phone.c_str(), wanted.c_str(), FixedText(sample.orientX, 1).c_str(),
        FixedText(sample.orientY, 1).c_str(), FixedText(sample.orientZ, 1).c_str());

    AEGP_LayerH layer = EnsurePhoneCamera(comp, compItem, phone);
    if (layer == nullptr) return;

    if (!entry.hasBasePos || sample.reset) CaptureBasePosition(layer, phone, entry);

    ApplyPreview3D(layer, AEGP_LayerStream_ORIENTATION, sample.orientX, sample.orientY,
                   sample.orientZ, now, nowSecs, entry.orientPreview);
    if (entry.hasBasePos) {
        ApplyPreview3D(layer, AEGP_LayerStream_POSITION, entry.basePos[0] + sample.posX,
                       entry.basePos[1] + sample.posY, entry.basePos[2] + sample.posZ, now,
                       nowSecs, entry.positionPreview);
    }
}

}  // namespace

void ApplyMotionToCamera(AEGP_CompH comp, AEGP_ItemH compItem, A_Time now) {
    if (g_server == nullptr || g_motion == nullptr) return;
    double nowSecs = 0;
    if (!TimeToSecs(now, &nowSecs)) return;
    const std::vector<ClientInfo> clients = g_server->snapshotClients();
    DumpClientsIfDue(clients);
    for (const ClientInfo& client : clients) ApplySample(comp, compItem, now, nowSecs, client);
}
