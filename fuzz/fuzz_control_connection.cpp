// The reading of a connection's request as the accept loop does it, and the whole control job
// behind it: the input is what a phone sends on one connection before it closes its side. It is
// driven through a socket pair into MJPEGServer::serveControlConnection. A whole control request
// must get exactly one well-formed answer (a JSON body where the answer says so); any other
// request, and one that did not arrive whole, is closed unanswered.
#include <nlohmann/json.hpp>

#include "fuzz/fuzz_support.h"
#include "link/http_request.h"
#include "link/mjpeg_server.h"
#include "link/request_reader.h"

using namespace qlo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A head is at most 8 KiB and a body at most 64 KiB; beyond a few KiB nothing new is reached,
    // and the socket pair must hold the whole input.
    if (size > 16384) return 0;
    MJPEGServer& server = Server();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Check(SendText(pair[1], std::string(input)), "socket pair too small for the input");
    ::shutdown(pair[1], SHUT_WR);

    const bool control = server.serveControlConnection(pair[0]);
    const std::string answer = ReadToEnd(pair[1]);
    ::close(pair[1]);

    // The request as it arrived in one piece, then the peer's end: whole or not, and its route.
    RequestReader request;
    request.add(input);
    const bool whole = request.end() == RequestReader::State::Complete;
    Check(control == (whole && RouteRequest(request.text()) != RequestRoute::Stream),
          "control decision differs from the reader and the router");
    if (!control) {
        Check(answer.empty(), "a request that is not a control request was answered");
        return 0;
    }
    const Answer a = CheckAnswer(answer);
    if (a.head.find("Content-Type: application/json") != std::string::npos) {
        const auto body = nlohmann::json::parse(a.body, nullptr, false);
        Check(!body.is_discarded() && body.is_object(), "JSON answer whose body is not a JSON object");
    } else {
        Check(a.body == "OK", "plain answer other than OK");
    }
    TakeMailboxes(server);
    return 0;
}
