#include "phone/stream_client.h"

#include "phone/http_client.h"
#include "phone/http_response.h"
#include "phone/multipart_parser.h"

#include <algorithm>
#include <vector>

namespace qlophone {

namespace {

StreamOutcome Finish(StreamOutcome outcome, StreamEnd end, std::string detail) {
    outcome.end = end;
    outcome.detail = std::move(detail);
    return outcome;
}

}  // namespace

std::string MultipartBoundary(std::string_view contentType) {
    size_t semi = contentType.find(';');
    if (!EqualsIgnoreCase(TrimBlanks(contentType.substr(0, semi)), "multipart/x-mixed-replace")) return {};
    while (semi != std::string_view::npos) {
        std::string_view rest = contentType.substr(semi + 1);
        const size_t next = rest.find(';');
        std::string_view param = TrimBlanks(rest.substr(0, next));
        semi = next == std::string_view::npos ? next : semi + 1 + next;
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos || !EqualsIgnoreCase(TrimBlanks(param.substr(0, eq)), "boundary")) continue;
        std::string_view value = TrimBlanks(param.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

bool HasJpegMarkers(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF &&
           bytes[bytes.size() - 1] == 0xD9;
}

StreamOutcome RunStream(const ConnectionTarget& target, const std::string& requestPath, const StreamLimits& limits,
                        const FrameSink& onFrame) {
    StreamOutcome out;
    auto& stats = out.stats;
    stats.opened = Clock::now();
    std::string error;
    Deadline connectBy = Clock::now() + limits.connectTimeout;
    if (limits.until) connectBy = std::min(connectBy, *limits.until);
    Socket s = ConnectTcp(target, connectBy, error, limits.stop);
    if (limits.stop && limits.stop->load()) return Finish(out, StreamEnd::Stopped, "stream: stopped");
    if (!s.valid()) return Finish(out, StreamEnd::ConnectFailed, "stream: " + error);

    HttpRequest request{"GET", requestPath, "", ""};
    std::string bytes = SerializeRequest(request, target.address.text(), false);
    IoResult sent = SendAll(s.fd(), bytes.data(), bytes.size(), connectBy, limits.stop);
    if (sent.status != IoStatus::Ok) {
        return Finish(out, StreamEnd::ConnectFailed, "stream: sending the request failed: " + DescribeIo(sent));
    }

    // The answer head, then the multipart body; the parser is created once the boundary is known.
    std::string headBuffer;
    std::optional<MultipartParser> parser;
    std::string frameError;
    std::vector<uint8_t> buffer(64 * 1024);
    const bool stallCheck = limits.stallTimeout.count() > 0;

    auto deliver = [&](std::span<const uint8_t> jpeg) {
        if (!frameError.empty()) return;
        // Frames past the limit, or read in the same pass as a stop request, are dropped.
        if (limits.maxFrames && stats.frames >= *limits.maxFrames) return;
        if (limits.stop && limits.stop->load()) return;
        if (!HasJpegMarkers(jpeg)) {
            frameError = "frame " + std::to_string(stats.frames + 1) + " of " + std::to_string(jpeg.size()) +
                         " bytes is not a JPEG (no SOI/EOI marker)";
            return;
        }
        const auto now = Clock::now();
        if (stats.frames == 0) stats.firstFrame = now;
        stats.lastFrame = now;
        ++stats.frames;
        stats.jpegBytes += jpeg.size();
        if (onFrame) onFrame(jpeg);
    };

    // Each pass waits at most until the stall limit, the deadline or a stop request.
    for (;;) {
        if (limits.maxFrames && stats.frames >= *limits.maxFrames) {
            return Finish(out, StreamEnd::FrameLimit, "stream: received the requested " + std::to_string(stats.frames) + " frames");
        }
        if (limits.enough && limits.enough()) return Finish(out, StreamEnd::Completed, "stream: done");
        if (limits.stop && limits.stop->load()) return Finish(out, StreamEnd::Stopped, "stream: stopped");
        if (limits.until && Clock::now() >= *limits.until) return Finish(out, StreamEnd::Deadline, "stream: duration reached");
        Deadline waitUntil = stallCheck ? Clock::now() + limits.stallTimeout : Clock::time_point::max();
        if (limits.until) waitUntil = std::min(waitUntil, *limits.until);
        IoResult got = ReceiveSome(s.fd(), buffer.data(), buffer.size(), waitUntil, limits.stop);
        if (got.status == IoStatus::Stopped) return Finish(out, StreamEnd::Stopped, "stream: stopped");
        if (got.status == IoStatus::TimedOut) {
            if (limits.until && Clock::now() >= *limits.until) return Finish(out, StreamEnd::Deadline, "stream: duration reached");
            return Finish(out, StreamEnd::Stalled,
                          "stream: nothing received for " + std::to_string(limits.stallTimeout.count()) + " ms");
        }
        if (got.status == IoStatus::Failed) {
            return Finish(out, StreamEnd::ConnectFailed, "stream: reading failed: " + DescribeIo(got));
        }
        if (got.status == IoStatus::Closed) {
            if (!parser) return Finish(out, StreamEnd::ProtocolError, "stream: connection closed before the answer head was complete");
            if (parser->insidePart()) {
                return Finish(out, StreamEnd::ProtocolError, "stream: connection closed in the middle of frame " +
                                                                 std::to_string(parser->frames() + 1));
            }
            return Finish(out, StreamEnd::ServerClosed, "stream: closed by the server");
        }
        stats.bytesReceived += got.bytes;
        std::span<const uint8_t> data(buffer.data(), got.bytes);
        if (!parser) {
            const size_t before = headBuffer.size();
            headBuffer.append(reinterpret_cast<const char*>(data.data()), data.size());
            const size_t end = FindHeadEnd(headBuffer);
            if (end == std::string::npos) {
                if (headBuffer.size() > kMaxResponseHeadBytes) {
                    return Finish(out, StreamEnd::ProtocolError, "stream: answer head too long");
                }
                continue;
            }
            HttpResponseHead head;
            std::string headError;
            if (!ParseResponseHead(std::string_view(headBuffer).substr(0, end), head, headError)) {
                return Finish(out, StreamEnd::ProtocolError, "stream: " + headError);
            }
            if (head.status != 200) {
                return Finish(out, StreamEnd::ProtocolError, "stream: answer is \"" + head.statusLine() + "\", not 200");
            }
            const std::string* type = head.find("Content-Type");
            const std::string boundary = type ? MultipartBoundary(*type) : std::string();
            if (boundary.empty()) {
                return Finish(out, StreamEnd::ProtocolError,
                              "stream: answer Content-Type \"" + (type ? *type : std::string()) +
                                  "\" is not multipart/x-mixed-replace with a boundary");
            }
            parser.emplace(boundary);
            data = data.subspan(end - before);
        }
        parser->feed(data, deliver);
        if (parser->failed()) return Finish(out, StreamEnd::ProtocolError, "stream: " + parser->error());
        if (!frameError.empty()) return Finish(out, StreamEnd::ProtocolError, "stream: " + frameError);
        if (parser->closed()) return Finish(out, StreamEnd::ServerClosed, "stream: closing boundary received");
    }
}

}  // namespace qlophone
