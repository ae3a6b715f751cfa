// The pure request readers: router, first line, the stream query's parameter extractor and value
// decoder, body start, announced length and the strict JSON body parser. Each result is checked
// against what it must be for any input.
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/http_request.h"

using namespace qlo::fuzz;

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The decoded value's length follows from the raw text: every "%XX" with two hex digits is one
// byte, everything else one byte each.
size_t DecodedLength(std::string_view raw) {
    size_t n = 0;
    for (size_t i = 0; i < raw.size(); ++i, ++n) {
        if (raw[i] == '%' && i + 2 < raw.size() && IsHex(raw[i + 1]) && IsHex(raw[i + 2])) i += 2;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const RequestRoute route = RouteRequest(text);
    if (route == RequestRoute::Stream) {
        for (const char* t : {"POST /camera", "POST /register", "GET /cameras", "GET /timeline", "POST /timeline",
                              "POST /record", "GET /info"}) {
            Check(text.find(t) == std::string::npos, "a route text was not found");
        }
    }

    const std::string_view line = FirstLine(text);
    Check(text.compare(0, line.size(), line) == 0, "first line is not a prefix");
    Check(line.find("\r\n") == std::string_view::npos, "first line holds a line end");

    for (const char* key : {"deviceName", "cameraName"}) {
        const std::string value = QueryParameter(line, key);
        Check(value.size() <= line.size(), "decoded value longer than the line");
    }
    // Decoding: the length follows from the raw text, and text without "%" or "+" is unchanged.
    const std::string decoded = DecodeQueryValue(text);
    Check(decoded.size() == DecodedLength(text), "decoded length differs");
    if (text.find_first_of("%+") == std::string::npos) Check(decoded == text, "plain text changed by decoding");

    const std::string_view body = BodyStart(text);
    Check(body.size() <= text.size() && text.compare(text.size() - body.size(), body.size(), body) == 0,
          "body start is not a suffix");
    const int64_t length = ExpectedContentLength(text);
    if (text.find("Content-Length:") == std::string::npos && text.find("content-length:") == std::string::npos) {
        Check(length == 0, "a length without a length header");
    }

    // Strict JSON: what parses is an object or an array, and its text form parses back to it.
    if (const auto parsed = ParseJsonBody(text)) {
        Check(parsed->is_object() || parsed->is_array(), "a top-level fragment was accepted");
        const std::string again = parsed->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        const auto reparsed = ParseJsonBody(again);
        Check(reparsed.has_value(), "the parsed value's text does not parse");
    }
    return 0;
}
