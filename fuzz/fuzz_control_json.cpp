// Each control handler's JSON handling: the first input byte picks the endpoint, the rest is the
// request body, sent with a correct Content-Length so that it reaches the JSON parser whole (also
// when it is longer than the first read). The answer must be the endpoint's fixed answer, and
// what the handler posts must be something the idle tick can apply: finite lens values, a known
// timeline action with a finite time, a known record mode, names within their fields.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"

using namespace qlo::fuzz;

namespace {

MJPEGServer& Server() {
    static MJPEGServer* server = [] {
        qlo::log::SetStderrEnabled(false);
        return new MJPEGServer();
    }();
    return *server;
}

constexpr const char* kPaths[] = {"POST /camera", "POST /register", "POST /timeline", "POST /record"};

bool Terminated(const char* field, size_t capacity) { return ::memchr(field, '\0', capacity) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 12000) return 0;
    MJPEGServer& server = Server();
    const int which = data[0] % 4;
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string request = std::string(kPaths[which]) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                          "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n" + body;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    Check(WriteAll(pair[1], request), "socket pair too small for the input");
    ::shutdown(pair[1], SHUT_WR);
    Check(server.serveControlConnection(pair[0]), "a control request was not served");
    const std::string answer = ReadToEnd(pair[1]);
    ::close(pair[1]);

    // The router searches the whole request, so a body may name another endpoint, which then
    // answers instead.
    switch (RouteRequest(request)) {
        case RequestRoute::RegisterPost: Check(answer == kRegisterAnswer, "register answer not sent"); break;
        case RequestRoute::CameraPost:
        case RequestRoute::TimelinePost:
        case RequestRoute::RecordPost: Check(answer == kOkAnswer, "OK answer not sent"); break;
        default: CheckAnswer(answer); break;
    }

    if (server.hasPendingCameraSettings()) {
        const CameraSettings s = server.getPendingCameraSettings();
        Check(std::isfinite(s.zoom) && std::isfinite(s.focusDistance) && std::isfinite(s.aperture) &&
                  std::isfinite(s.blurLevel),
              "a lens value that is not finite was posted");
        Check(Terminated(s.deviceName, sizeof s.deviceName), "deviceName not terminated");
    }
    if (server.hasPendingTimelineCommand()) {
        const TimelineCommand c = server.getPendingTimelineCommand();
        Check(c.action >= 0 && c.action <= 7, "timeline action out of range");
        Check(std::isfinite(c.time), "a seek time that is not finite was posted");
    }
    if (server.hasPendingRecordCommand()) {
        const RecordMode m = server.getPendingRecordCommand();
        Check(m >= 0 && m <= 3, "record mode out of range");
    }
    if (server.hasPendingSelectCamera()) {
        const SelectCameraRequest r = server.getPendingSelectCamera();
        Check(Terminated(r.deviceName, sizeof r.deviceName) && Terminated(r.cameraName, sizeof r.cameraName),
              "camera choice not terminated");
        Check(r.deviceName[0] != '\0', "camera choice without a device name");
    }
    return 0;
}
