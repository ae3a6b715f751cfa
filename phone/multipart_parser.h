// Incremental parser of the MJPEG stream body (multipart/x-mixed-replace). Each part is
//   --<boundary>\r\n
//   <header lines, each ending \r\n, at least Content-Length>\r\n
//   <Content-Length bytes>\r\n
// and a line "--<boundary>--" closes the stream. Bytes may arrive split anywhere, including
// inside a CR LF pair, or many parts at once. Anything else is a protocol error: a part that
// does not start with the boundary, a missing, malformed, conflicting or oversized
// Content-Length, a Content-Type other than image/jpeg, a body not followed by CR LF, a line
// break that is not CR LF, or an overlong header line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qlophone {

class MultipartParser {
public:
    using FrameHandler = std::function<void(std::span<const uint8_t> frame)>;

    static constexpr size_t kDefaultMaxFrameBytes = 64u * 1024 * 1024;
    static constexpr size_t kMaxLineBytes = 1024;
    static constexpr size_t kMaxHeaderLines = 32;

    explicit MultipartParser(std::string boundary, size_t maxFrameBytes = kDefaultMaxFrameBytes);

    // Parses the next bytes and hands every completed frame to `onFrame`, in order. Returns false
    // once a protocol error has been seen (and for every later call).
    bool feed(std::span<const uint8_t> data, const FrameHandler& onFrame);
    bool feed(std::string_view data, const FrameHandler& onFrame);

    bool failed() const { return state_ == State::Failed; }
    const std::string& error() const { return error_; }
    // Some bytes of a part have arrived but the part is not complete.
    bool insidePart() const;
    // The closing delimiter has been seen; later bytes are ignored.
    bool closed() const { return state_ == State::Closed; }
    uint64_t frames() const { return frames_; }

private:
    enum class State { Boundary, Headers, Body, BodyCR, BodyLF, Closed, Failed };

    bool fail(std::string message);
    // Adds one byte to the current line; sets `complete` when the line ended with CR LF.
    bool takeLineByte(uint8_t byte, bool& complete);
    bool onBoundaryLine();
    bool onHeaderLine();

    std::string boundary_;
    size_t maxFrame_;
    State state_ = State::Boundary;
    std::string line_;
    bool pendingCR_ = false;
    size_t headerLines_ = 0;
    bool haveLength_ = false;
    size_t length_ = 0;
    std::vector<uint8_t> body_;
    uint64_t frames_ = 0;
    std::string error_;
};

}  // namespace qlophone
