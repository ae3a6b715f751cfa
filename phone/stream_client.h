// The phone's view of its MJPEG stream: sends GET /stream?deviceName=..&cameraName=.., checks the
// answer head (200, multipart/x-mixed-replace with a boundary), then parses parts as they arrive
// and hands each JPEG to the caller until a frame count, a deadline, a stop request, a stalled
// connection, the server's close or a protocol error ends it.
#pragma once

#include "phone/socket_io.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace qlophone {

// The boundary parameter of a multipart Content-Type ("multipart/x-mixed-replace; boundary=frame",
// also quoted); empty when the type is not multipart/x-mixed-replace or has no boundary.
std::string MultipartBoundary(std::string_view contentType);

// A JPEG starts with the SOI marker FF D8 and ends with the EOI marker FF D9.
bool HasJpegMarkers(std::span<const uint8_t> bytes);

struct StreamLimits {
    std::optional<uint64_t> maxFrames;        // end after this many frames
    std::optional<Deadline> until;            // end at this time
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds stallTimeout{30000};  // 0: wait for data without limit
    const std::atomic<bool>* stop = nullptr;
    // Asked after every read: true when the caller has what it came for (ends with Completed).
    std::function<bool()> enough;
};

enum class StreamEnd {
    FrameLimit,     // maxFrames reached
    Completed,      // `enough` said so
    Deadline,       // `until` reached
    Stopped,        // stop flag raised
    ServerClosed,   // the server closed the connection (or sent the closing boundary)
    Stalled,        // nothing arrived within stallTimeout
    ConnectFailed,  // connecting, sending the request or reading failed
    ProtocolError,  // the answer or the framing is malformed
};

struct StreamStats {
    uint64_t frames = 0;
    uint64_t bytesReceived = 0;  // everything read from the socket, head and framing included
    uint64_t jpegBytes = 0;
    Clock::time_point opened{};
    Clock::time_point firstFrame{};
    Clock::time_point lastFrame{};
};

struct StreamOutcome {
    StreamEnd end = StreamEnd::ConnectFailed;
    std::string detail;  // what happened, for the report
    StreamStats stats;
};

using FrameSink = std::function<void(std::span<const uint8_t> jpeg)>;

StreamOutcome RunStream(const ConnectionTarget& target, const std::string& requestPath, const StreamLimits& limits,
                        const FrameSink& onFrame);

}  // namespace qlophone
