// The MJPEG part parser against the plug-in's framing: frames split anywhere, many frames per
// read, and the malformed framing a faulty server could send reported as a protocol error
// naming the frame it happened in. (The closing delimiter is the stream client's test.)
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
    // Every split point, including inside the CR LF pairs (cut 0: both frames in one read).
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

TEST(MultipartParser, MalformedFramingIsAProtocolError) {
    const std::string jpeg = FakeJpeg(1, 30);
    const std::string n = std::to_string(jpeg.size());
    const std::vector<std::pair<std::string, const char*>> cases = {  // the stream, a part of the error
        {"--frame\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg + "\r\n", "no Content-Length"},
        {"--frame\r\nContent-Length: 10\r\n\r\n" + jpeg + "\r\n", "not followed by CR LF"},
        {"--frame\r\nContent-Length: 99999999999\r\n\r\n", "exceeds the limit"},
        {"--frame\r\nContent-Length: " + n + "\r\nContent-Length: 7\r\n\r\n", "conflicting"},
        {"--frame\r\nContent-Type: text/html\r\nContent-Length: " + n + "\r\n\r\n", "not image/jpeg"},
        {"--frame\nContent-Length: " + n + "\n\n" + jpeg + "\r\n", "LF alone"},
        {Part(jpeg) + Part(jpeg) + "--frame\r\nContent-Length: x\r\n", "frame 3: bad Content-Length"},
    };
    for (const auto& [stream, errorPart] : cases) {
        MultipartParser parser("frame");
        Collected got;
        EXPECT_FALSE(parser.feed(stream, got.handler())) << errorPart;
        EXPECT_TRUE(parser.failed()) << errorPart;
        EXPECT_NE(parser.error().find(errorPart), std::string::npos) << errorPart << ": " << parser.error();
        EXPECT_FALSE(parser.feed(Part(jpeg), got.handler())) << errorPart << ": once failed, it takes nothing more";
    }
}

}  // namespace
}  // namespace qlophone
