#include "phone/multipart_parser.h"

#include "phone/http_response.h"
#include "phone/number_text.h"

#include <algorithm>

namespace qlophone {

namespace {

std::string Printable(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 60)) {
        auto u = static_cast<unsigned char>(c);
        out += (u < 32 || u > 126) ? '?' : c;
    }
    if (s.size() > 60) out += "...";
    return out;
}


}  // namespace

MultipartParser::MultipartParser(std::string boundary, size_t maxFrameBytes)
    : boundary_(std::move(boundary)), maxFrame_(maxFrameBytes) {}

bool MultipartParser::insidePart() const {
    switch (state_) {
        case State::Boundary: return !line_.empty() || pendingCR_;
        case State::Headers:
        case State::Body:
        case State::BodyCR:
        case State::BodyLF: return true;
        case State::Closed:
        case State::Failed: return false;
    }
    return false;
}

bool MultipartParser::fail(std::string message) {
    state_ = State::Failed;
    error_ = "frame " + std::to_string(frames_ + 1) + ": " + std::move(message);
    return false;
}

bool MultipartParser::takeLineByte(uint8_t byte, bool& complete) {
    complete = false;
    if (pendingCR_) {
        if (byte != '\n') return fail("CR not followed by LF in a part header");
        pendingCR_ = false;
        complete = true;
        return true;
    }
    if (byte == '\r') {
        pendingCR_ = true;
        return true;
    }
    if (byte == '\n') return fail("line ends with LF alone instead of CR LF: \"" + Printable(line_) + "\"");
    if (line_.size() >= kMaxLineBytes) {
        return fail("part header line longer than " + std::to_string(kMaxLineBytes) + " bytes");
    }
    line_.push_back(static_cast<char>(byte));
    return true;
}

bool MultipartParser::onBoundaryLine() {
    const std::string delimiter = "--" + boundary_;
    const std::string_view line = TrimBlanks(line_);
    if (line == delimiter) {
        state_ = State::Headers;
        headerLines_ = 0;
        haveLength_ = false;
        length_ = 0;
        return true;
    }
    if (line == delimiter + "--") {
        state_ = State::Closed;
        return true;
    }
    return fail("expected boundary \"" + delimiter + "\", got \"" + Printable(line_) + "\"");
}

bool MultipartParser::onHeaderLine() {
    if (line_.empty()) {
        if (!haveLength_) return fail("part has no Content-Length header");
        state_ = State::Body;
        body_.clear();
        body_.reserve(length_);
        return true;
    }
    if (++headerLines_ > kMaxHeaderLines) {
        return fail("more than " + std::to_string(kMaxHeaderLines) + " part header lines");
    }
    const size_t colon = line_.find(':');
    if (colon == std::string::npos || colon == 0) return fail("bad part header line \"" + Printable(line_) + "\"");
    const std::string_view name = TrimBlanks(std::string_view(line_).substr(0, colon));
    const std::string_view value = TrimBlanks(std::string_view(line_).substr(colon + 1));
    if (EqualsIgnoreCase(name, "Content-Length")) {
        auto length = ParseUnsigned(value, 0, UINT64_MAX);
        if (!length) return fail("bad Content-Length \"" + Printable(value) + "\"");
        if (*length > maxFrame_) {
            return fail("Content-Length " + std::to_string(*length) + " exceeds the limit of " +
                        std::to_string(maxFrame_) + " bytes");
        }
        if (haveLength_ && *length != length_) return fail("conflicting Content-Length headers");
        haveLength_ = true;
        length_ = static_cast<size_t>(*length);
    } else if (EqualsIgnoreCase(name, "Content-Type")) {
        const std::string_view type = TrimBlanks(value.substr(0, value.find(';')));
        if (!EqualsIgnoreCase(type, "image/jpeg")) return fail("part Content-Type is \"" + Printable(value) + "\", not image/jpeg");
    }
    return true;
}

bool MultipartParser::feed(std::string_view data, const FrameHandler& onFrame) {
    return feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()), onFrame);
}

bool MultipartParser::feed(std::span<const uint8_t> data, const FrameHandler& onFrame) {
    size_t i = 0;
    while (i < data.size()) {
        switch (state_) {
            case State::Failed: return false;
            case State::Closed: return true;  // bytes after the closing delimiter are ignored
            case State::Boundary:
            case State::Headers: {
                bool complete = false;
                if (!takeLineByte(data[i++], complete)) return false;
                if (!complete) break;
                const bool ok = state_ == State::Boundary ? onBoundaryLine() : onHeaderLine();
                line_.clear();
                if (!ok) return false;
                break;
            }
            case State::Body: {
                const size_t take = std::min(length_ - body_.size(), data.size() - i);
                body_.insert(body_.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                             data.begin() + static_cast<std::ptrdiff_t>(i + take));
                i += take;
                if (body_.size() == length_) state_ = State::BodyCR;
                break;
            }
            case State::BodyCR:
            case State::BodyLF: {
                const uint8_t expected = state_ == State::BodyCR ? '\r' : '\n';
                if (data[i++] != expected) {
                    return fail("the " + std::to_string(length_) +
                                " bytes of Content-Length are not followed by CR LF (wrong Content-Length?)");
                }
                if (state_ == State::BodyCR) {
                    state_ = State::BodyLF;
                } else {
                    ++frames_;
                    state_ = State::Boundary;
                    if (onFrame) onFrame(std::span<const uint8_t>(body_.data(), body_.size()));
                }
                break;
            }
        }
    }
    return state_ != State::Failed;
}

}  // namespace qlophone
