// The stream client over real loopback connections: the answer head is checked, frames arrive
// whole however the bytes are cut, and every way a stream can go wrong ends it with its reason.
#include "phone/percent_encoding.h"
#include "phone/stream_client.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <thread>

namespace qlophone {
namespace {

using namespace std::chrono_literals;
using test::FakeJpeg;
using test::LoopbackHttpServer;
using test::Part;
using test::StreamHead;
using test::WaitForPeerClose;
using test::WriteAll;

ConnectionTarget Loopback(uint16_t port) { return {*ParseNumericAddress("127.0.0.1", port), std::nullopt}; }

struct Received {
    std::vector<std::string> frames;
    FrameSink sink() {
        return [this](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); };
    }
};

StreamLimits Limits(std::optional<uint64_t> frames) {
    StreamLimits limits;
    limits.maxFrames = frames;
    limits.until = Clock::now() + 20s;  // a safety net only; the tests end long before
    limits.stallTimeout = 10s;
    return limits;
}

TEST(MultipartBoundary, ReadsTheBoundaryParameter) {
    EXPECT_EQ(MultipartBoundary("multipart/x-mixed-replace; boundary=frame"), "frame");
    EXPECT_EQ(MultipartBoundary("Multipart/X-Mixed-Replace;charset=x; Boundary=\"a b\""), "a b");
    EXPECT_EQ(MultipartBoundary("multipart/x-mixed-replace; charset=utf-8"), "");
    EXPECT_EQ(MultipartBoundary("image/jpeg; boundary=frame"), "");
}

TEST(JpegMarkers, NeedStartAndEndMarkers) {
    const std::string jpeg = FakeJpeg(1, 20);
    auto bytes = [](const std::string& s) { return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    EXPECT_TRUE(HasJpegMarkers(bytes(jpeg)));
    EXPECT_FALSE(HasJpegMarkers(bytes(jpeg.substr(1))));
    EXPECT_FALSE(HasJpegMarkers(bytes(jpeg.substr(0, jpeg.size() - 1))));
    EXPECT_FALSE(HasJpegMarkers(bytes("\xFF\xD8\xD9")));
}

TEST(StreamClient, FramesWrittenInSmallPiecesArriveWholeAndStopAtTheLimit) {
    const std::vector<std::string> served = {FakeJpeg(1, 3000), FakeJpeg(2, 70000), FakeJpeg(3, 10)};
    LoopbackHttpServer server([&](int fd, const test::SeenRequest&) {
        std::string all = StreamHead();
        for (const auto& f : served) all += Part(f);
        // Pieces of 7 bytes, so heads, lengths and CR LF pairs are cut in many places.
        for (size_t at = 0; at < all.size(); at += 7) {
            if (!WriteAll(fd, all.substr(at, 7))) return;
        }
        WaitForPeerClose(fd, 5s);
    });
    Received got;
    StreamOutcome out = RunStream(Loopback(server.port()), BuildStreamPath("p", ""), Limits(2), got.sink());
    EXPECT_EQ(out.end, StreamEnd::FrameLimit) << out.detail;
    ASSERT_EQ(got.frames.size(), 2u);
    EXPECT_EQ(got.frames[0], served[0]);
    EXPECT_EQ(got.frames[1], served[1]);
    EXPECT_EQ(out.stats.frames, 2u);
    EXPECT_EQ(out.stats.jpegBytes, served[0].size() + served[1].size());
    EXPECT_EQ(server.requests().at(0).text.rfind("GET /stream?deviceName=p&cameraName= HTTP/1.1\r\n", 0), 0u);
}

struct BadStream {
    const char* what;
    std::string bytes;
    StreamEnd end;
    const char* detailPart;
};

TEST(StreamClient, EndsWithTheReasonOfABrokenStream) {
    const std::string jpeg = FakeJpeg(1);
    const std::vector<BadStream> cases = {
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", StreamEnd::ProtocolError, "not 200"},
        {"not multipart", "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg, StreamEnd::ProtocolError, "multipart"},
        {"closed before head", "HTTP/1.1 200 OK\r\n", StreamEnd::ProtocolError, "before the answer head"},
        {"bad framing", StreamHead() + "--frame\r\nContent-Length: 5\r\n\r\n" + jpeg + "\r\n", StreamEnd::ProtocolError, "CR LF"},
        {"not a JPEG", StreamHead() + Part("not a jpeg at all"), StreamEnd::ProtocolError, "not a JPEG"},
        {"closed mid-frame", StreamHead() + Part(jpeg) + Part(jpeg).substr(0, 50), StreamEnd::ProtocolError, "middle of frame 2"},
        {"closed between frames", StreamHead() + Part(jpeg), StreamEnd::ServerClosed, "closed by the server"},
        {"closing boundary", StreamHead() + Part(jpeg) + "--frame--\r\n", StreamEnd::ServerClosed, "closing boundary"},
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server([&](int fd, const test::SeenRequest&) { WriteAll(fd, c.bytes); });
        Received got;
        StreamOutcome out = RunStream(Loopback(server.port()), "/stream", Limits(std::nullopt), got.sink());
        EXPECT_EQ(out.end, c.end) << c.what << ": " << out.detail;
        EXPECT_NE(out.detail.find(c.detailPart), std::string::npos) << c.what << ": " << out.detail;
    }
}

TEST(StreamClient, SilentServerCountsAsStalledAndStopFlagEndsTheWait) {
    std::atomic<bool> stop{false};
    std::atomic<bool> raiseStop{false};
    LoopbackHttpServer server([&](int fd, const test::SeenRequest&) {
        WriteAll(fd, StreamHead() + Part(FakeJpeg(1)));
        if (raiseStop) stop = true;  // the client is now waiting for a second frame that never comes
        WaitForPeerClose(fd, 5s);
    });
    StreamLimits limits = Limits(std::nullopt);
    limits.stallTimeout = 200ms;
    StreamOutcome stalled = RunStream(Loopback(server.port()), "/stream", limits, nullptr);
    EXPECT_EQ(stalled.end, StreamEnd::Stalled) << stalled.detail;
    EXPECT_EQ(stalled.stats.frames, 1u);

    raiseStop = true;
    limits.stallTimeout = 10s;
    limits.stop = &stop;
    StreamOutcome stopped = RunStream(Loopback(server.port()), "/stream", limits, nullptr);
    EXPECT_EQ(stopped.end, StreamEnd::Stopped) << stopped.detail;

    StreamOutcome stoppedBefore = RunStream(Loopback(server.port()), "/stream", limits, nullptr);
    EXPECT_EQ(stoppedBefore.end, StreamEnd::Stopped) << stoppedBefore.detail;
    EXPECT_EQ(stoppedBefore.stats.frames, 0u);
}

}  // namespace
}  // namespace qlophone
