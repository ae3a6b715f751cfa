// MJPEGServer: the control job, the control endpoints and the mailboxes they fill.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/ip_address.h"
#include "link/mjpeg_server_impl.h"
#include "link/text_field.h"
#include "platform/log.h"

using qlo::log::Log;
using nlohmann::json;

namespace {

// What a control request's body read gave: its text (for log lines) and the parsed JSON value
// (an object or an array), absent when the body does not parse or was announced too large.
struct RequestBody {
    std::string text;
    std::optional<json> parsed;

    const json* object() const { return parsed && parsed->is_object() ? &*parsed : nullptr; }
    std::string parsedText() const {
        return parsed ? parsed->dump(-1, ' ', false, json::error_handler_t::replace) : "(null)";
    }
};

// A JSON value as a float: numbers only, and only those a float can hold (a lens value out of
// float range would reach the host's camera as infinity; it is ignored instead).
bool ReadFloat(const json& object, const char* key, float* out) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number()) return false;
    const double value = it->get<double>();
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return false;
    *out = static_cast<float>(value);
    return true;
}

// A JSON value as text: texts only; anything else counts as missing.
std::string ReadText(const json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::string();
    return it->get<std::string>();
}

std::atomic<uint64_t> s_timelineGetCount{0};

}  // namespace

void MJPEGServer::Impl::runControlJob(int fd, const std::string& request, ClientRegistry& reg) {
    const std::string firstLine(FirstLine(request));
    Log("[Quillo HTTP] Incoming: %s", firstLine.c_str());
    switch (RouteRequest(request)) {
        case RequestRoute::CameraPost: handleCameraPost(fd, request); break;
        case RequestRoute::RegisterPost: handleRegisterPost(fd, request, reg); break;
        case RequestRoute::CamerasGet: handleCamerasGet(fd); break;
        case RequestRoute::TimelineGet: handleTimelineGet(fd); break;
        case RequestRoute::TimelinePost: handleTimelinePost(fd, request); break;
        case RequestRoute::RecordPost: handleRecordPost(fd, request); break;
        case RequestRoute::Info: handleInfoGet(fd, reg); break;
        case RequestRoute::Stream: break;  // not a control request: closed unanswered
    }
    // One answer per control connection; keep-alive is never honoured.
    ::close(fd);
}

namespace {

// A control request's body: what follows its head in the request text, which the intake read
// whole (the announced length has arrived). A length announced beyond kMaxControlBodyBytes was not
// read at all: the body then counts as not parsing, and the caller answers and closes.
RequestBody ReadRequestBody(const std::string& request) {
    RequestBody body;
    const std::string_view start = BodyStart(request);
    body.text = std::string(start);
    const std::string_view head = std::string_view(request).substr(0, request.size() - start.size());
    if (ExpectedContentLength(head) > kMaxControlBodyBytes) return body;
    body.parsed = ParseJsonBody(body.text);
    return body;
}

}  // namespace

void MJPEGServer::Impl::handleCameraPost(int fd, const std::string& request) {
    const RequestBody body = ReadRequestBody(request);
    if (const json* o = body.object()) {
        std::lock_guard<std::mutex> lock(cameraSettings.mutex);
        CameraSettings& slot = cameraSettings.slot;
        // Fields the request does not mention keep their previous values; deviceName does not.
        ReadFloat(*o, "zoom", &slot.zoom);
        ReadFloat(*o, "focusDistance", &slot.focusDistance);
        ReadFloat(*o, "aperture", &slot.aperture);
        ReadFloat(*o, "blurLevel", &slot.blurLevel);
        auto dof = o->find("dof");
        if (dof != o->end()) {
            if (dof->is_boolean()) slot.dof = dof->get<bool>();
            else if (dof->is_number()) slot.dof = dof->get<double>() != 0.0;
        }
        CopyToField(slot.deviceName, ReadText(*o, "deviceName"));
        cameraSettings.pending.store(true);
    }
    SendAll(fd, kOkAnswer);
}

void MJPEGServer::Impl::handleRegisterPost(int fd, const std::string& request, ClientRegistry& reg) {
    const RequestBody body = ReadRequestBody(request);
    const json* o = body.object();
    const std::string device = o ? ReadText(*o, "deviceName") : std::string();
    if (device.empty()) {
        SendAll(fd, kRegisterAnswer);
        return;
    }
    const std::string camera = ReadText(*o, "cameraName");

    char ip[64] = {};
    sockaddr_storage peer = {};  // 128 bytes
    socklen_t peerSize = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0) {
        SockAddrToIPString(reinterpret_cast<const sockaddr*>(&peer), ip, sizeof ip);
    }
    Log("[Quillo] Register from ip=%s deviceName=\"%s\" cameraName=\"%s\"", ip, device.c_str(), camera.c_str());

    reg.queue->sync([&] {
        if (ip[0] == '\0') return;
        // Kept until a stream from this IP is admitted, even when the phone streams already.
        pendingRegs.put(ip, PendingReg{device, camera}, PendingRegistrations::Clock::now());
        for (RegistryEntry& e : reg.clients) {
            if (std::strcmp(e.info.ip, ip) != 0) continue;
            CopyToField(e.info.name, device);
            CopyToField(e.info.targetCam, camera);
            e.info.allowed = true;
            reg.publish();
            Log("[Quillo] Register: ip=%s fd=%d name=\"%s\" camera=\"%s\" (auto-allowed, stashed)", ip,
                e.info.fd, e.info.name, e.info.targetCam[0] != '\0' ? e.info.targetCam : "(auto)");
            return;
        }
        Log("[Quillo] Register pending ip=%s name=\"%s\" camera=\"%s\" (no MJPEG yet)", ip, device.c_str(),
            camera.c_str());
    });

    postSelectCamera(device, camera);
    SendAll(fd, kRegisterAnswer);
}

void MJPEGServer::Impl::handleCamerasGet(int fd) {
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> lock(cameraListMutex);
        names = cameraList;
    }
    const std::string listText = json(names).dump(-1, ' ', false, json::error_handler_t::replace);
    Log("[Quillo HTTP] GET /cameras → %d camera(s): %s", static_cast<int>(names.size()), listText.c_str());
    const std::string bodyText = FormatCamerasBody(names);
    if (SendAll(fd, FormatCamerasHeader(bodyText.size()))) SendAll(fd, bodyText);
}

void MJPEGServer::Impl::handleTimelineGet(int fd) {
    TimelineState state;
    {
        std::lock_guard<std::mutex> lock(timelineMutex);
        state = timelineState;
    }
    const std::string bodyText = FormatTimelineBody(state);
    if (s_timelineGetCount.fetch_add(1) % 50 == 0) {
        Log("[Quillo HTTP] GET /timeline → %s", bodyText.c_str());
    }
    if (SendAll(fd, FormatTimelineHeader(bodyText.size()))) SendAll(fd, bodyText);
}

void MJPEGServer::Impl::handleTimelinePost(int fd, const std::string& request) {
    const RequestBody body = ReadRequestBody(request);
    Log("[Quillo HTTP] POST /timeline body=%s parsed=%s", body.text.c_str(), body.parsedText().c_str());
    if (const json* o = body.object()) {
        std::lock_guard<std::mutex> lock(timelineCommand.mutex);
        TimelineCommand& slot = timelineCommand.slot;
        const std::string action = ReadText(*o, "action");
        if (action == "seek") {
            slot.action = TimelineActionSeek;
            auto time = o->find("time");
            slot.time = time != o->end() && time->is_number() ? time->get<double>() : 0.0;
        } else if (action == "play") {
            slot.action = TimelineActionPlay;
        } else if (action == "pause") {
            slot.action = TimelineActionPause;
        } else if (action == "stepForward") {
            slot.action = TimelineActionStepForward;
        } else if (action == "stepBack") {
            slot.action = TimelineActionStepBack;
        } else if (action == "goToStart") {
            slot.action = TimelineActionGoToStart;
        } else if (action == "goToEnd") {
            slot.action = TimelineActionGoToEnd;
        }
        // An unrecognised action posts the slot's previous command again.
        timelineCommand.pending.store(true);
    }
    SendAll(fd, kOkAnswer);
}

void MJPEGServer::Impl::handleRecordPost(int fd, const std::string& request) {
    const RequestBody body = ReadRequestBody(request);
    Log("[Quillo HTTP] POST /record body=%s parsed=%s", body.text.c_str(), body.parsedText().c_str());
    if (const json* o = body.object()) {
        std::lock_guard<std::mutex> lock(recordCommand.mutex);
        const std::string mode = ReadText(*o, "mode");
        if (mode == "single") recordCommand.slot = RecordModeSingle;
        else if (mode == "start") recordCommand.slot = RecordModeStart;
        else if (mode == "stop") recordCommand.slot = RecordModeStop;
        recordCommand.pending.store(true);
    }
    SendAll(fd, kOkAnswer);
}

void MJPEGServer::Impl::handleInfoGet(int fd, ClientRegistry& reg) {
    int clients = 0;
    reg.queue->sync([&] { clients = static_cast<int>(reg.clients.size()); });
    SendAll(fd, FormatInfoAnswer(port.load(), controlPort.load(), clients));
}

void MJPEGServer::Impl::postSelectCamera(const std::string& device, const std::string& camera) {
    std::lock_guard<std::mutex> lock(selectCamera.mutex);
    CopyToField(selectCamera.slot.deviceName, device);
    CopyToField(selectCamera.slot.cameraName, camera);
    selectCamera.pending.store(true);
}

// --- Accessors of the idle tick ---

bool MJPEGServer::hasPendingCameraSettings() const { return impl_->cameraSettings.pending.load(); }
CameraSettings MJPEGServer::getPendingCameraSettings() { return impl_->cameraSettings.take(); }

void MJPEGServer::updateTimelineState(const TimelineState& state) {
    std::lock_guard<std::mutex> lock(impl_->timelineMutex);
    impl_->timelineState = state;
}

bool MJPEGServer::hasPendingTimelineCommand() const { return impl_->timelineCommand.pending.load(); }
TimelineCommand MJPEGServer::getPendingTimelineCommand() { return impl_->timelineCommand.take(); }

bool MJPEGServer::hasPendingRecordCommand() const { return impl_->recordCommand.pending.load(); }
RecordMode MJPEGServer::getPendingRecordCommand() { return impl_->recordCommand.take(); }

void MJPEGServer::updateCameraList(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(impl_->cameraListMutex);
    impl_->cameraList = names;
}

bool MJPEGServer::isCameraListEmpty() const {
    std::lock_guard<std::mutex> lock(impl_->cameraListMutex);
    return impl_->cameraList.empty();
}

bool MJPEGServer::hasPendingSelectCamera() const { return impl_->selectCamera.pending.load(); }
SelectCameraRequest MJPEGServer::getPendingSelectCamera() { return impl_->selectCamera.take(); }
