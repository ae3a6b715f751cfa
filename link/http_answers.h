// The server's answers, byte for byte: the three fixed short answers, the MJPEG stream's head
// and part header, and the formatted answers of GET /info, GET /cameras and GET /timeline.
// Pure text functions, so that every answer can be checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_types.h"

// Answer to POST /camera, /timeline and /record.
inline constexpr std::string_view kOkAnswer =
    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";

// Answer to POST /register.
inline constexpr std::string_view kRegisterAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 11\r\n"
    "Access-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n{\"ok\":true}";

// The head of an MJPEG stream; frames follow as parts of boundary "frame".
inline constexpr std::string_view kStreamAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"
    "Cache-Control: no-cache, no-store, must-revalidate\r\nConnection: keep-alive\r\n"
    "Access-Control-Allow-Origin: *\r\n\r\n";

// What follows each frame's JPEG bytes.
inline constexpr std::string_view kPartTrailer = "\r\n";

// The body sent when the camera list cannot be encoded.
inline constexpr std::string_view kEmptyCamerasBody = "{\"cameras\":[]}";

// The part header that precedes a JPEG of `length` bytes.
std::string FormatPartHeader(size_t length);

// The whole GET /info answer (no Content-Length: the body ends when the connection closes).
std::string FormatInfoAnswer(int port, int controlPort, int clients);

// The GET /cameras body: {"cameras":[...]} in compact JSON, names in list order; the empty
// list's body when a name cannot be encoded (it is not valid UTF-8).
std::string FormatCamerasBody(const std::vector<std::string>& names);
// The GET /cameras head for a body of `bodyLength` bytes.
std::string FormatCamerasHeader(size_t bodyLength);

// The GET /timeline body; numbers always with a decimal point, whatever the process's locale.
std::string FormatTimelineBody(const TimelineState& state);
// The GET /timeline head for a body of `bodyLength` bytes.
std::string FormatTimelineHeader(size_t bodyLength);
