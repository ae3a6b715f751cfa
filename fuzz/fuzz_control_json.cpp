// Each control handler's JSON handling: the first input byte picks the endpoint, the rest is the
// request body, sent with a correct Content-Length so that it reaches the JSON parser whole (also
// when it is longer than the first read). The answer must be the endpoint's fixed answer, and
// what the handler posts must be something the idle tick can apply: finite lens values, a known
// timeline action with a finite time, a known record mode, names within their fields.
#include <string>

#include "fuzz/fuzz_support.h"
#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/mjpeg_server.h"

using namespace qlo::fuzz;

constexpr const char* kPaths[] = {"POST /camera", "POST /register", "POST /timeline", "POST /record"};

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
    Check(SendText(pair[1], request), "socket pair too small for the input");
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

    TakeMailboxes(server);
    return 0;
}
