// The reading of a connection's request as the accept loop does it, and the whole control job
// behind it, driven through a socket pair into MJPEGServer::serveControlConnection. The input is
// what a phone sends on one connection before it closes its side; or, when its first byte is 0
// to 3, a POST to /camera, /register, /timeline or /record whose body is the rest of the input,
// sent with its correct Content-Length so that it reaches the endpoint's JSON handling whole.
// A whole control request gets exactly one well-formed answer (a post its endpoint's fixed
// answer); any other request, and one that did not arrive whole, is closed unanswered. What a
// handler posts must be something the idle tick can apply (fuzz_support.h).
#include <nlohmann/json.hpp>

#include "fuzz/fuzz_support.h"
#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/mjpeg_server.h"
#include "link/request_reader.h"

using namespace qlo::fuzz;

constexpr const char* kPosts[] = {"POST /camera", "POST /register", "POST /timeline", "POST /record"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A head is at most 8 KiB and a body at most 64 KiB; beyond a few KiB nothing new is reached,
    // and the socket pair must hold the whole input.
    if (size < 1 || size > 12000) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    if (data[0] < 4) {
        const std::string body = input.substr(1);
        input = std::string(kPosts[data[0]]) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n\r\n" + body;
    }
    MJPEGServer& server = Server();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    Check(SendText(pair[1], input), "socket pair too small for the input");
    ::shutdown(pair[1], SHUT_WR);
    const bool control = server.serveControlConnection(pair[0]);
    const std::string answer = ReadToEnd(pair[1]);
    ::close(pair[1]);

    // The request as it arrived in one piece, then the peer's end: whole or not, and its route.
    RequestReader request;
    request.add(input);
    const bool whole = request.end() == RequestReader::State::Complete;
    const RequestRoute route = RouteRequest(request.text());
    Check(control == (whole && route != RequestRoute::Stream), "control decision differs from reader and router");
    Check(data[0] >= 4 || control, "a framed post was not served");
    // The stream's query values, which the accept loop reads from a stream request's first line.
    (void)QueryParameter(FirstLine(request.text()), "deviceName");
    if (!control) {
        Check(answer.empty(), "a request that is not a control request was answered");
        return 0;
    }
    // The router searches the whole request, so a body may name another endpoint, which then
    // answers instead.
    switch (route) {
        case RequestRoute::RegisterPost: Check(answer == kRegisterAnswer, "register answer not sent"); break;
        case RequestRoute::CameraPost:
        case RequestRoute::TimelinePost:
        case RequestRoute::RecordPost: Check(answer == kOkAnswer, "OK answer not sent"); break;
        default: {
            const auto body = nlohmann::json::parse(CheckedBody(answer), nullptr, false);
            Check(!body.is_discarded() && body.is_object(), "a GET answer whose body is not a JSON object");
        }
    }
    TakeMailboxes(server);
    return 0;
}
