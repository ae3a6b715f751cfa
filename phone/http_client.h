// One HTTP request and its answer over a fresh connection that the server closes afterwards
// ("Connection: close"), as every control request of the phone is made. The request goes out in
// a single send, so the head and a short body reach the server in one read.
#pragma once

#include "phone/failure.h"
#include "phone/http_response.h"
#include "phone/socket_io.h"

#include <atomic>
#include <chrono>
#include <string>

namespace qlophone {

inline constexpr char kUserAgent[] = "quillo-phone/1.0";

struct HttpRequest {
    std::string method;  // "GET", "POST"
    std::string path;    // "/register"
    std::string body;    // sent with Content-Length for POST
    std::string contentType = "application/json";
};

// The request bytes. `closeConnection` adds "Connection: close"; a stream request leaves it out.
std::string SerializeRequest(const HttpRequest& request, const std::string& hostHeader, bool closeConnection);

struct HttpExchange {
    Failure failure;  // Connection when the exchange broke, Protocol when the answer is malformed
    HttpResponse response;
};

// Connects, sends, reads the whole answer; everything within `timeout`.
HttpExchange PerformRequest(const ConnectionTarget& target, const HttpRequest& request,
                            std::chrono::milliseconds timeout, const std::atomic<bool>* stop = nullptr);

}  // namespace qlophone
