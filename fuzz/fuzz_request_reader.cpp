// Property target for assembling a request from its pieces (link/request_reader.h): the input is
// cut into pieces at the positions its first bytes choose, and fed piece by piece. Whatever the
// bytes and the cuts: the reader keeps a prefix of what it was given, never more than its
// limits; it only says Complete for a request whose head is whole and whose announced body has
// arrived (or is beyond the body limit), or, at the end, for one that needs no body; and the same
// bytes cut differently give the same answer (the text may differ in bytes past the request,
// which arrive with its last piece).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/http_request.h"
#include "link/request_reader.h"

using qlo::fuzz::Check;

namespace {

RequestReader::State Feed(RequestReader& reader, std::string_view bytes, const std::vector<size_t>& cuts) {
    size_t at = 0;
    for (size_t cut : cuts) {
        if (cut <= at || cut >= bytes.size()) continue;
        reader.add(bytes.substr(at, cut - at));
        at = cut;
    }
    reader.add(bytes.substr(at));
    return reader.state();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    std::vector<size_t> cuts;
    for (size_t i = 0; i < 3; ++i) cuts.push_back(data[i] * (size / 256 + 1));
    const bool closes = (data[3] & 1) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 4), size - 4);

    RequestReader pieces, whole;
    Feed(pieces, bytes, cuts);
    whole.add(bytes);
    const RequestReader::State a = closes ? pieces.end() : pieces.state();
    const RequestReader::State b = closes ? whole.end() : whole.state();
    Check(a == b, "the same bytes cut differently were read differently");

    const std::string& text = pieces.text();
    Check(bytes.substr(0, text.size()) == text, "the request is not a prefix of what arrived");
    Check(text.size() <= kMaxRequestHeadBytes + static_cast<size_t>(kMaxControlBodyBytes), "a request beyond its limits");
    if (a == RequestReader::State::Complete) {
        const size_t headEnd = text.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            Check(closes, "complete without a head before the end");
            const RequestRoute route = RouteRequest(text);
            Check(route != RequestRoute::CameraPost && route != RequestRoute::RegisterPost &&
                      route != RequestRoute::TimelinePost && route != RequestRoute::RecordPost,
                  "a request needing a body taken without its head");
        } else {
            Check(headEnd + 4 <= kMaxRequestHeadBytes + 4, "a head beyond its limit");
            const int64_t expected = ExpectedContentLength(std::string_view(text).substr(0, headEnd + 4));
            const int64_t body = static_cast<int64_t>(text.size() - headEnd - 4);
            Check(expected > kMaxControlBodyBytes || body >= expected, "complete before its body arrived");
        }
    }
    return 0;
}
