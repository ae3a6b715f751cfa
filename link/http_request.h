// Reading the phones' HTTP requests: the router, the first line, the stream query's parameters
// and a control request's body framing. Pure text functions with no socket in them, so that they
// can be tested and fuzzed on their own.
//
// The server decides everything from the first read of a connection (at most 2047 bytes), taken
// as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

enum class RequestRoute {
    CameraPost,    // "POST /camera"
    RegisterPost,  // "POST /register"
    CamerasGet,    // "GET /cameras"
    TimelineGet,   // "GET /timeline"
    TimelinePost,  // "POST /timeline"
    RecordPost,    // "POST /record"
    Info,          // "GET /info"
    Stream,        // anything else: the connection becomes an MJPEG stream
};

// Searches the whole request text (case-sensitively, anywhere, not only at its start) for the
// route texts in the order of RequestRoute; the first one found decides. There is no not-found
// answer: a request matching none of them is a stream request.
RequestRoute RouteRequest(std::string_view request);

// The request text up to the first CR LF, or all of it when there is none.
std::string_view FirstLine(std::string_view request);

// The value of `key` in the query of a request line ("GET /stream?deviceName=A&cameraName=B ..."),
// decoded; empty when the line has no query or the query has no such key. Only an occurrence at
// the start of the query or directly after "&" counts ("xdeviceName=" is not "deviceName=").
std::string QueryParameter(std::string_view firstLine, std::string_view key);

// Decodes a query value: "+" is a space, "%" and two hex digits inside the value is the byte they
// spell, any other "%" stays a literal "%".
std::string DecodeQueryValue(std::string_view raw);

// The body part of the first read: what follows the first blank line (CR LF CR LF); empty when
// the head has no end in the text.
std::string_view BodyStart(std::string_view request);

// The announced body length: the number right after the first "Content-Length:", read the way
// atoi reads (leading white space, an optional sign, digits up to the first non-digit, 0 when
// there are none). Only when that exact text is absent is "content-length:" read; any other
// capitalisation gives 0. Values beyond the 64-bit range saturate instead of overflowing.
int64_t ExpectedContentLength(std::string_view request);

// A control request's body is never read beyond this many bytes: a larger announced length is
// treated as a body that does not parse.
inline constexpr int64_t kMaxControlBodyBytes = 64 * 1024;

// Parses a body as strict JSON: UTF-8, no comments, and only an object or an array at the top
// level (no bare numbers, texts or literals). Nothing when it does not parse.
std::optional<nlohmann::json> ParseJsonBody(std::string_view body);
