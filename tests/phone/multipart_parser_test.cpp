// The MJPEG part parser against the plug-in's framing: frames split anywhere, many frames per
// read, and every kind of malformed framing reported as a protocol error.
#include "phone/multipart_parser.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlophone {
namespace {

using test::FakeJpeg;
using test::Part;

struct Collected {
    std::vector<std::string> frames;
    MultipartParser::FrameHandler handler() {
        return [this](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); };
    }
};

TEST(MultipartParser, FramesSplitAtEveryByteBoundaryArriveWhole) {
    const std::string a = FakeJpeg(1, 40), b = FakeJpeg(2, 55);
    const std::string stream = Part(a) + Part(b);
    // Every split point of the two-frame stream, including inside the CR LF pairs (cut 0: both
    // frames in one read).
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        MultipartParser parser("frame");
        Collected got;
        ASSERT_TRUE(parser.feed(std::string_view(stream).substr(0, cut), got.handler())) << "cut " << cut;
        ASSERT_TRUE(parser.feed(std::string_view(stream).substr(cut), got.handler())) << "cut " << cut;
        ASSERT_EQ(got.frames, (std::vector<std::string>{a, b})) << "cut " << cut;
        EXPECT_EQ(parser.frames(), 2u);
        EXPECT_FALSE(parser.insidePart());
    }
}

TEST(MultipartParser, ReportsPartialPartAndClosingDelimiter) {
    const std::string stream = Part(FakeJpeg(1, 30));
    MultipartParser parser("frame");
    Collected got;
    ASSERT_TRUE(parser.feed(std::string_view(stream).substr(0, stream.size() - 1), got.handler()));
    EXPECT_TRUE(parser.insidePart());  // waiting for the final LF
    ASSERT_TRUE(parser.feed(std::string_view(stream).substr(stream.size() - 1), got.handler()));
    EXPECT_FALSE(parser.insidePart());

    ASSERT_TRUE(parser.feed("--frame--\r\nepilogue bytes", got.handler()));
    EXPECT_TRUE(parser.closed());
    EXPECT_EQ(got.frames.size(), 1u);
}

TEST(MultipartParser, HeaderNamesAnyCaseExtraHeadersAndOtherBoundary) {
    const std::string jpeg = FakeJpeg(3, 25);
    const std::string stream = "--xyz\r\ncontent-length: " + std::to_string(jpeg.size()) +
                               "\r\nX-Timestamp: 12\r\nCONTENT-TYPE: image/jpeg; q=1\r\n\r\n" + jpeg + "\r\n";
    MultipartParser parser("xyz");
    Collected got;
    ASSERT_TRUE(parser.feed(stream, got.handler())) << parser.error();
    EXPECT_EQ(got.frames, std::vector<std::string>{jpeg});
}

struct BadFraming {
    const char* what;
    std::string stream;
    const char* errorPart;
};

TEST(MultipartParser, MalformedFramingIsAProtocolError) {
    const std::string jpeg = FakeJpeg(1, 30);
    const std::string n = std::to_string(jpeg.size());
    const std::vector<BadFraming> cases = {
        {"no Content-Length", "--frame\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg + "\r\n", "no Content-Length"},
        {"Content-Length not a number", "--frame\r\nContent-Length: abc\r\n\r\n" + jpeg + "\r\n", "bad Content-Length"},
        {"Content-Length too short", "--frame\r\nContent-Length: 10\r\n\r\n" + jpeg + "\r\n", "not followed by CR LF"},
        {"Content-Length over the limit", "--frame\r\nContent-Length: 99999999999\r\n\r\n", "exceeds the limit"},
        {"conflicting Content-Length", "--frame\r\nContent-Length: " + n + "\r\nContent-Length: 7\r\n\r\n", "conflicting"},
        {"not a JPEG part", "--frame\r\nContent-Type: text/html\r\nContent-Length: " + n + "\r\n\r\n", "not image/jpeg"},
        {"bare LF line ends", "--frame\nContent-Length: " + n + "\n\n" + jpeg + "\r\n", "LF alone"},
        {"header line without colon", "--frame\r\nContent-Length " + n + "\r\n\r\n", "bad part header line"},
        {"overlong header line", "--frame\r\nX-Pad: " + std::string(2000, 'a') + "\r\n", "longer than"},
    };
    for (const auto& c : cases) {
        MultipartParser parser("frame");
        Collected got;
        const bool ok = parser.feed(c.stream, got.handler());
        EXPECT_FALSE(ok) << c.what;
        EXPECT_TRUE(parser.failed()) << c.what;
        EXPECT_NE(parser.error().find(c.errorPart), std::string::npos) << c.what << ": " << parser.error();
        // Once failed, the parser takes nothing more.
        EXPECT_FALSE(parser.feed(Part(jpeg), got.handler())) << c.what;
    }
}

TEST(MultipartParser, ErrorNamesTheFrameItHappenedIn) {
    const std::string jpeg = FakeJpeg(1, 30);
    MultipartParser parser("frame");
    Collected got;
    EXPECT_FALSE(parser.feed(Part(jpeg) + Part(jpeg) + "--frame\r\nContent-Length: x\r\n", got.handler()));
    EXPECT_EQ(got.frames.size(), 2u);
    EXPECT_EQ(parser.error().rfind("frame 3:", 0), 0u) << parser.error();
}

}  // namespace
}  // namespace qlophone
