// The stream client over real loopback connections: the answer head is checked, frames arrive
// whole however the bytes are cut, and every way a stream can go wrong ends it with its reason.
// (Malformed part framing is the multipart parser's, tested there.)
#include "phone/stream_client.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

using namespace std::chrono_literals;
using test::FakeJpeg;
using test::LoopbackHttpServer;
using test::Part;
using test::StreamHead;
using test::SendText;

ConnectionTarget Loopback(uint16_t port) { return {*ParseNumericAddress("127.0.0.1", port), std::nullopt}; }

StreamLimits Limits(std::optional<uint64_t> frames) {
    StreamLimits limits;
    limits.maxFrames = frames;
    limits.until = Clock::now() + 20s;  // a safety net only; the tests end long before
    limits.stallTimeout = 10s;
    return limits;
}

TEST(StreamHead, TheBoundaryParameterAndTheJpegMarkers) {
    EXPECT_EQ(MultipartBoundary("multipart/x-mixed-replace; boundary=frame"), "frame");
    EXPECT_EQ(MultipartBoundary("Multipart/X-Mixed-Replace;charset=x; Boundary=\"a b\""), "a b");
    EXPECT_EQ(MultipartBoundary("image/jpeg; boundary=frame"), "");
    auto bytes = [](const std::string& s) { return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    const std::string jpeg = FakeJpeg(1, 20);
    EXPECT_TRUE(HasJpegMarkers(bytes(jpeg)));
    EXPECT_FALSE(HasJpegMarkers(bytes(jpeg.substr(1))));
    EXPECT_FALSE(HasJpegMarkers(bytes(jpeg.substr(0, jpeg.size() - 1))));
}

// The served bytes go out in pieces of 7, so heads, lengths and CR LF pairs are cut in many places;
// frames arrive whole up to the limit of two, and a broken stream ends with its reason.
TEST(StreamClient, EndsAtTheFrameLimitOrWithTheReasonOfABrokenStream) {
    const std::vector<std::string> served = {FakeJpeg(1, 3000), FakeJpeg(2, 70000)};
    const std::string jpeg = served[0];
    struct Case {
        const char* what;
        std::string bytes;
        StreamEnd end;
        const char* detailPart;
        size_t frames;  // the first ones served
    };
    const std::vector<Case> cases = {
        {"frame limit", StreamHead() + Part(jpeg) + Part(served[1]) + Part(FakeJpeg(3, 10)), StreamEnd::FrameLimit,
         "", 2},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", StreamEnd::ProtocolError, "not 200", 0},
        {"not multipart", "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg, StreamEnd::ProtocolError,
         "multipart", 0},
        {"closed before head", "HTTP/1.1 200 OK\r\n", StreamEnd::ProtocolError, "before the answer head", 0},
        {"not a JPEG", StreamHead() + Part("not a jpeg at all"), StreamEnd::ProtocolError, "not a JPEG", 0},
        {"closed mid-frame", StreamHead() + Part(jpeg) + Part(jpeg).substr(0, 50), StreamEnd::ProtocolError,
         "middle of frame 2", 1},
        {"closed between frames", StreamHead() + Part(jpeg), StreamEnd::ServerClosed, "closed by the server", 1},
        {"closing boundary", StreamHead() + Part(jpeg) + "--frame--\r\n", StreamEnd::ServerClosed,
         "closing boundary", 1},
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server([&](int fd, const test::SeenRequest&) {
            for (size_t at = 0; at < c.bytes.size() && SendText(fd, c.bytes.substr(at, 7)); at += 7) {
            }
        });
        std::vector<std::string> got;
        StreamOutcome out = RunStream(Loopback(server.port()), "/stream", Limits(2),
                                      [&](std::span<const uint8_t> f) { got.emplace_back(f.begin(), f.end()); });
        EXPECT_EQ(out.end, c.end) << c.what << ": " << out.detail;
        EXPECT_NE(out.detail.find(c.detailPart), std::string::npos) << c.what << ": " << out.detail;
        EXPECT_EQ(got, std::vector<std::string>(served.begin(), served.begin() + c.frames)) << c.what;
        EXPECT_EQ(out.stats.jpegBytes, c.frames == 2 ? jpeg.size() + served[1].size() : c.frames * jpeg.size())
            << c.what;
    }
}

TEST(StreamClient, SilentServerCountsAsStalledAndStopFlagEndsTheWait) {
    std::atomic<bool> stop{false}, raiseStop{false};
    LoopbackHttpServer server([&](int fd, const test::SeenRequest&) {
        SendText(fd, StreamHead() + Part(FakeJpeg(1)));
        if (raiseStop) stop = true;  // the client is now waiting for a second frame that never comes
        test::WaitForPeerClose(fd, 5s);
    });
    StreamLimits limits = Limits(std::nullopt);
    limits.stallTimeout = 200ms;
    StreamOutcome stalled = RunStream(Loopback(server.port()), "/stream", limits, nullptr);
    EXPECT_EQ(stalled.end, StreamEnd::Stalled) << stalled.detail;
    EXPECT_EQ(stalled.stats.frames, 1u);
    raiseStop = true;
    limits.stallTimeout = 10s;
    limits.stop = &stop;
    EXPECT_EQ(RunStream(Loopback(server.port()), "/stream", limits, nullptr).end, StreamEnd::Stopped);
}

}  // namespace
}  // namespace qlophone
