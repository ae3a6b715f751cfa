#include "link/http_answers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace {

// Fixed-point text of a number with `decimals` digits after the point. The C library's printf
// follows the process's numeric locale (a host may set one with a decimal comma); to_chars does
// not. A value that is not finite would not be JSON: it is written as 0.
std::string Fixed(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[400];  // room for the largest double with its decimals
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer, result.ptr);
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
