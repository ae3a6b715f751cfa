// The capture stage: every connected phone sees the composition through its own camera layer.
// For each phone with a camera, only that camera's video switch is on while its frame renders;
// between renders the switches are left so that exactly the phones' cameras are on (or, once no
// phone looks through a camera, as the user had them). Phones without a camera share one frame
// rendered through whatever camera the composition then shows.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/camera_switches.h"
#include "engine/idle_stages.h"
#include "engine/render_push.h"
#include "base/helpers.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "link/outgoing_frame.h"
#include "rig/camera_layers.h"
#include "rig/rig_state.h"
#include "rig/viewer_sync.h"

namespace {

// One render job: the phone's stream, the camera its frame renders through, and the name that
// camera was looked up by.
struct PhoneRender {
    int fd = -1;
    AEGP_LayerH layer = nullptr;
    std::string cameraName;
};

// The frame last rendered for each phone's stream. Its sender holds it while it waits and while
// it is written; once the phone has taken it the frame is gone. Main thread only.
std::map<int, std::weak_ptr<OutgoingFrame>> s_lastFrames;

// Whether a phone can take a new frame: its sender has written the last one rendered for it.
// A frame rendered while the previous one is still on its way would only replace it unseen (a
// phone that reads slowly) or wait behind it for good (a phone that stopped reading), so the
// host's render is spent on the phones that can take one. A phone that becomes free gets a
// frame of the next pass, rendered then.
bool CanTakeFrame(int fd) {
    auto it = s_lastFrames.find(fd);
    return it == s_lastFrames.end() || it->second.expired();
}

// Hands a phone its own frame of a picture rendered for another phone through the same camera.
std::shared_ptr<OutgoingFrame> PushSameFrame(const std::shared_ptr<OutgoingFrame>& rendered, int fd) {
    std::shared_ptr<OutgoingFrame> frame = OutgoingFrame::Sharing(rendered);
    if (frame) g_server->pushFrameToClient(fd, frame);
    return frame;
}

// Forgets the frames of streams that are gone (a later stream may get the same descriptor).
void ForgetEndedStreams(const std::vector<ClientInfo>& clients) {
    for (auto it = s_lastFrames.begin(); it != s_lastFrames.end();) {
        const bool streaming = std::any_of(clients.begin(), clients.end(),
                                           [&](const ClientInfo& c) { return c.fd == it->first; });
        it = streaming ? std::next(it) : s_lastFrames.erase(it);
    }
}

bool Contains(const std::vector<AEGP_LayerH>& layers, AEGP_LayerH layer) {
    return std::find(layers.begin(), layers.end(), layer) != layers.end();
}

// The camera a phone's frame renders through, or null. A layer remembered for the phone is used
// only while it is still one of the composition's camera layers; one that vanished is dropped,
// so the next lookup resolves the name again.
AEGP_LayerH PhoneCamera(AEGP_CompH comp, const std::vector<AEGP_LayerH>& cameras,
                        const std::string& phone, const std::string& wanted) {
    auto entry = g_phoneCameras.find(phone);
    if (entry != g_phoneCameras.end() && entry->second.layer != nullptr) {
        if (Contains(cameras, entry->second.layer)) return entry->second.layer;
        // A layer of another composition is left for the rig's composition change.
        if (g_cameraCompH == comp) DropPhoneCameraLayer(entry->second);
    }
    return FindCameraByName(comp, wanted);
}

// The motion receiver never forgets a sender that has a stream when it makes room for new ones;
// it learns which senders those are from the registry copy of each pass.
void TellMotionReceiverTheStreams(const std::vector<ClientInfo>& clients) {
    if (g_motion == nullptr) return;
    std::vector<std::string> ips;
    ips.reserve(clients.size());
    for (const ClientInfo& client : clients) ips.push_back(FieldText(client.ip));
    g_motion->setStreamingSenders(ips);
}

}  // namespace

void RunCaptureStage(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_ItemH item, A_Time time) {
    if (g_server == nullptr) return;
    const std::vector<ClientInfo> clients = g_server->snapshotClients();
    TellMotionReceiverTheStreams(clients);
    ForgetEndedStreams(clients);

    // Switches saved in another composition go back before this one's are touched.
    if (CameraSwitchesSaved() && CameraSwitchesComp() != comp) RestoreSavedSwitches(suites);

    const std::vector<AEGP_LayerH> cameras = CollectCameraLayers(suites, comp);
    std::vector<CameraState> states = ReadCameraStates(suites, cameras);

    std::vector<PhoneRender> jobs;
    bool noCamera = false;
    for (const ClientInfo& client : clients) {
        if (client.fd < 0) continue;
        const std::string name = FieldText(client.name);
        const std::string target = FieldText(client.targetCam);
        const std::string wanted = !target.empty() ? target : name;
        AEGP_LayerH layer = wanted.empty() ? nullptr : PhoneCamera(comp, cameras, name, wanted);
        if (layer == nullptr) {
            noCamera = true;
            continue;
        }
        jobs.push_back({client.fd, layer, wanted});
    }

    if (!jobs.empty()) {
        // A switch is saved as the user left it before it is first changed; one that cannot be
        // read cannot be saved, so this pass changes none and renders nothing (the next tries).
        for (const CameraState& state : states) {
            if (!state.known && !CameraSwitchSaved(comp, state.layer)) return;
        }
        SaveCameraSwitches(comp, states);
        for (CameraState& state : states) {
            state.visible = std::any_of(jobs.begin(), jobs.end(), [&](const PhoneRender& job) {
                return job.layer == state.layer;
            });
            SetVideoSwitch(suites, state.layer, state.visible);
        }
    } else if (CameraSwitchesSaved()) {
        RestoreSavedSwitches(suites);
        states = ReadCameraStates(suites, cameras);
    }

    // A phone's own frame and the shared frame of this pass travel together to its sender.
    // Each render needs exactly its phone's camera on. The first render sets every switch; each
    // later one changes only the two that differ, so a pass costs the host O(cameras + phones)
    // switch calls, not cameras x phones. Phones still taking their last frame are left out,
    // asked at their turn (so a sender has the whole pass to finish, whatever its place in the
    // order); phones that look through the same camera share one render.
    const uint64_t batch = OutgoingFrame::NewBatch();
    std::vector<bool> served(jobs.size(), false);
    AEGP_LayerH onlyOn = nullptr;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (served[i] || !CanTakeFrame(jobs[i].fd)) continue;
        const PhoneRender& job = jobs[i];
        if (onlyOn == nullptr) {
            for (AEGP_LayerH layer : cameras) SetVideoSwitch(suites, layer, layer == job.layer);
        } else if (job.layer != onlyOn) {
            SetVideoSwitch(suites, onlyOn, false);
            SetVideoSwitch(suites, job.layer, true);
        }
        onlyOn = job.layer;
        const std::shared_ptr<OutgoingFrame> frame = RenderAndPushFrame(suites, item, time, job.fd, batch);
        s_lastFrames[job.fd] = frame;
        for (size_t k = i + 1; k < jobs.size(); ++k) {
            if (served[k] || jobs[k].layer != job.layer || !CanTakeFrame(jobs[k].fd)) continue;
            served[k] = true;
            s_lastFrames[jobs[k].fd] = PushSameFrame(frame, jobs[k].fd);
        }
    }
    for (const CameraState& state : states) {
        if (state.known || !jobs.empty()) SetVideoSwitch(suites, state.layer, state.visible);
    }

    if (noCamera) RenderAndPushFrame(suites, item, time, kPushToAllPhones, batch);

    std::vector<std::string> names;
    names.reserve(jobs.size());
    for (const PhoneRender& job : jobs) names.push_back(job.cameraName);
    SyncViewerLayoutForPhones(names);
}
