#include "link/http_answers.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "base/helpers.h"

namespace {

// A number in JSON: fixed-point text with `decimals` digits after the point ('.' whatever the
// process's locale). A value that is not finite would not be JSON: it is written as 0.
std::string Fixed(double value, int decimals) {
    return FixedText(std::isfinite(value) ? value : 0.0, decimals);
}

}  // namespace

std::string FormatPartHeader(size_t length) {
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer,
                                "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\n\r\n",
                                length);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string FormatInfoAnswer(int port, int controlPort, int clients) {
    char buffer[512];
    const int n = std::snprintf(
        buffer, sizeof buffer,
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
        "Connection: close\r\n\r\n{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":%d,"
        "\"controlPort\":%d,\"clients\":%d}",
        port, controlPort, clients);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string FormatCamerasBody(const std::vector<std::string>& names) {
    try {
        nlohmann::json body = {{"cameras", nlohmann::json::array()}};
        for (const std::string& name : names) body["cameras"].push_back(name);
        return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
    } catch (const nlohmann::json::exception&) {
        return std::string(kEmptyCamerasBody);
    }
}

std::string FormatCamerasHeader(size_t bodyLength) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer,
                                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                "Content-Length: %d\r\nAccess-Control-Allow-Origin: *\r\n"
                                "Connection: close\r\n\r\n",
                                static_cast<int>(bodyLength));
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string FormatTimelineBody(const TimelineState& state) {
    std::string body = "{\"currentTime\":";
    body += Fixed(state.currentTime, 6);
    body += ",\"duration\":";
    body += Fixed(state.duration, 6);
    body += ",\"fps\":";
    body += Fixed(state.fps, 2);
    body += ",\"playing\":";
    body += state.playing ? "true" : "false";
    body += '}';
    return body;
}

std::string FormatTimelineHeader(size_t bodyLength) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer,
                                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                "Access-Control-Allow-Origin: *\r\nConnection: close\r\n"
                                "Content-Length: %lu\r\n\r\n",
                                static_cast<unsigned long>(bodyLength));
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}
