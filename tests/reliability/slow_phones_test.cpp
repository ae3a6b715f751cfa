// Phones on slow links and clients that hold connections open, against the plug-in in the
// stand-in host: a phone whose link drains slowly stays connected and gets whole frames (fewer of
// them) while its healthy neighbour gets frames throughout; connections that trickle a request
// or send nothing, more of them than are read at once, keep nobody out and are closed unanswered.
#include <random>

#include "link/request_reader.h"
#include "reliability_fixture.h"

namespace {

// Frames of noise: they do not compress, so every frame is large.
void UseNoisyRenderer() {
    qh::SetFrameRenderer([rng = std::mt19937(5)](qh::Project&, const qh::RenderRequest&, qh::World& out) mutable {
        for (size_t i = 0; i < out.sizeBytes(); ++i) out.data()[i] = static_cast<uint8_t>(rng());
        return A_Err_NONE;
    });
}

bool IsWholeJpeg(const std::string& f) {
    return f.size() > 4 && static_cast<uint8_t>(f[0]) == 0xFF && static_cast<uint8_t>(f[1]) == 0xD8 &&
           static_cast<uint8_t>(f[f.size() - 2]) == 0xFF && static_cast<uint8_t>(f[f.size() - 1]) == 0xD9;
}

}  // namespace

using SlowPhonesTest = ReliabilityTest;

TEST_F(SlowPhonesTest, APhoneOnASlowLinkStaysAndGetsWholeFramesWhileItsNeighbourGetsThemAll) {
    UseNoisyRenderer();
    Phone& healthy = connect("127.0.0.2", "?deviceName=Healthy", "Healthy", 1);
    // A small window, and after every frame it takes a pause of ten work passes.
    qlotest::StreamPhone slow("127.0.0.3", httpPort, "/stream?deviceName=Slow", 4096);
    ASSERT_FALSE(slow.readHead().empty());
    ASSERT_TRUE(WaitFor([&] { return g_server->clientCount() == 2; }));
    std::atomic<bool> stop{false};
    std::atomic<int> passesDone{0};
    std::vector<std::string> slowFrames;
    std::thread reader([&] {
        while (!stop) {
            std::optional<std::string> f = slow.nextFrame();
            if (!f) break;
            slowFrames.push_back(std::move(*f));
            const int resume = passesDone + 10;
            while (!stop && passesDone < resume) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const size_t healthyBefore = healthy.count();
    const int passes = 60;
    for (int i = 0; i < passes; ++i) {
        pass();
        ++passesDone;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The healthy phone gets about every pass's frame; the slow one fewer, whole, and stays.
    EXPECT_TRUE(WaitFor([&] { return healthy.count() >= healthyBefore + passes / 2; }));
    EXPECT_EQ(g_server->clientCount(), 2);
    stop = true;
    shutdown(slow.fd(), SHUT_RD);
    reader.join();
    ASSERT_FALSE(slowFrames.empty());
    EXPECT_LE(slowFrames.size(), static_cast<size_t>(passes / 10 + 2));
    for (const std::string& f : slowFrames) EXPECT_TRUE(IsWholeJpeg(f));
    for (const std::string& f : healthy.frames()) EXPECT_TRUE(IsWholeJpeg(f));
}

TEST_F(SlowPhonesTest, TricklingAndSilentConnectionsBeyondTheReadBoundKeepNobodyOut) {
    spyRenders();
    Phone& streaming = connect("127.0.0.2", "?deviceName=A", "A", 1);
    // More than the server reads at once: half send part of a request and stop, half send nothing.
    std::vector<int> held;
    const std::string partial = "POST /record HTTP/1.1\r\nContent-Length: 400\r\n\r\n{\"mode\":";
    for (size_t i = 0; i < kMaxConnectionsBeingRead + 20; ++i) {
        const std::string ip = "127.0.3." + std::to_string(i % 200 + 1);
        const int fd = qlotest::ConnectFrom(ip.c_str(), httpPort);
        ASSERT_GE(fd, 0);
        if (i % 2 == 0) {
            ASSERT_TRUE(qlotest::SendText(fd, partial));
        }
        held.push_back(fd);
    }
    // A phone still gets its information and registers; the stream goes on meanwhile.
    const size_t framesBefore = streaming.count();
    EXPECT_NE(control(qlotest::Get("/info"), "127.0.0.5").find("\"clients\":1"), std::string::npos);
    EXPECT_NE(control(qlotest::Post("/register", R"({"deviceName":"B"})"), "127.0.0.6").find("{\"ok\":true}"),
              std::string::npos);
    EXPECT_TRUE(passUntil([&] { return streaming.count() > framesBefore; }));
    // Every held connection is closed unanswered, and nothing was posted.
    for (int fd : held) EXPECT_EQ(qlotest::ReadToEnd(fd), "");
    for (int fd : held) close(fd);
    EXPECT_FALSE(g_server->hasPendingRecordCommand());
}
