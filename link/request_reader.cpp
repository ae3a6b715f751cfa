#include "link/request_reader.h"

#include <algorithm>

#include "link/http_request.h"

namespace {

// The most a request may hold: a head at its limit and a body at its limit.
constexpr size_t kMaxRequestBytes = kMaxRequestHeadBytes + static_cast<size_t>(kMaxControlBodyBytes);

bool NeedsBody(RequestRoute route) {
    return route == RequestRoute::CameraPost || route == RequestRoute::RegisterPost ||
           route == RequestRoute::TimelinePost || route == RequestRoute::RecordPost;
}

}  // namespace

RequestReader::State RequestReader::add(std::string_view bytes) {
    if (state_ != State::Incomplete) return state_;
    text_.append(bytes.substr(0, std::min(bytes.size(), room())));
    return state_ = evaluate();
}

RequestReader::State RequestReader::evaluate() {
    const size_t headEnd = text_.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        return text_.size() >= kMaxRequestHeadBytes ? State::Rejected : State::Incomplete;
    }
    const size_t bodyStart = headEnd + 4;
    const int64_t expected = ExpectedContentLength(std::string_view(text_).substr(0, bodyStart));
    // A body announced beyond the limit is not read: the request is whole as it stands.
    if (expected > kMaxControlBodyBytes) return State::Complete;
    const int64_t body = static_cast<int64_t>(text_.size() - bodyStart);
    return body >= expected ? State::Complete : State::Incomplete;
}

RequestReader::State RequestReader::end() {
    if (state_ != State::Incomplete) return state_;
    if (text_.empty() || text_.find("\r\n\r\n") != std::string::npos) return state_ = State::Rejected;
    return state_ = NeedsBody(RouteRequest(text_)) ? State::Rejected : State::Complete;
}

size_t RequestReader::room() const {
    if (state_ != State::Incomplete) return 0;
    const size_t headEnd = text_.find("\r\n\r\n");
    if (headEnd == std::string::npos) return kMaxRequestHeadBytes - text_.size();
    return kMaxRequestBytes - text_.size();
}
