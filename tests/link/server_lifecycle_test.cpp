// Start, stop and destruction of the server: repeated calls, a taken port, restarts, and tearing
// the server down while connections, control requests and reverse lookups are in flight (run
// these under AddressSanitizer and ThreadSanitizer as well).
#include <sys/socket.h>

#include "server_test_support.h"

using namespace qlotest;

namespace {

using ServerStartStop = ServerTest;

TEST_F(ServerStartStop, StartTwiceStopTwiceAndPortInUse) {
    EXPECT_TRUE(server_.isRunning());
    EXPECT_EQ(server_.start(0), port_);
    EXPECT_EQ(log_.count("[Quillo] MJPEG server listening on port " + std::to_string(port_)), 1u);

    MJPEGServer second;
    EXPECT_EQ(second.start(port_), 0);
    EXPECT_FALSE(second.isRunning());
    second.stop();  // not running: nothing, no line

    server_.stop();
    server_.stop();
    EXPECT_FALSE(server_.isRunning());
    EXPECT_EQ(log_.count("[Quillo] MJPEG server stopped"), 1u);
    EXPECT_EQ(ConnectFrom("127.0.0.1", port_), -1);  // nothing listens any more
}

TEST_F(ServerStartStop, StopClosesStreamsAndRestartKeepsRegistrationsAndMailboxes) {
    StreamPhone phone("127.0.0.2", port_);
    ASSERT_FALSE(phone.readHead().empty());
    ASSERT_TRUE(entry("127.0.0.2", true));
    Exchange(port_, Post("/register", R"({"deviceName":"Ann","cameraName":"C"})"), "127.0.0.3");
    Exchange(port_, Post("/record", R"({"mode":"single"})"));

    server_.stop();
    EXPECT_TRUE(phone.seesEnd());
    EXPECT_EQ(server_.clientCount(), 0);
    EXPECT_FALSE(server_.pushFrameToClient(3, "x", 1));

    server_.setControlPort(9999);  // while stopped: stored, served once started
    port_ = server_.start(0);
    ASSERT_NE(port_, 0);
    EXPECT_NE(Exchange(port_, Get("/info")).find("\"controlPort\":9999,\"clients\":0}"), std::string::npos);
    EXPECT_EQ(server_.getPendingRecordCommand(), RecordModeSingle);
    StreamPhone registered("127.0.0.3", port_);
    ASSERT_FALSE(registered.readHead().empty());
    const auto e = entry("127.0.0.3", true);
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->name, "Ann");
}

TEST(ServerLifecycle, DestroyWhileConnectionsRequestsAndLookupsAreInFlight) {
    qlo::log::SetStderrEnabled(false);
    auto lookup = std::make_shared<FakeLookup>();
    for (int i = 2; i < 8; ++i) {
        const std::string ip = "127.0.0." + std::to_string(i);
        lookup->setName(ip, "phone-" + std::to_string(i) + ".local", true);
    }
    std::vector<std::unique_ptr<StreamPhone>> phones;
    std::vector<int> controls;
    {
        auto server = std::make_unique<MJPEGServer>();
        server->setNameLookup(FakeLookup::bind(lookup));
        const uint16_t port = server->start(0);
        ASSERT_NE(port, 0);
        for (int i = 2; i < 8; ++i) {
            phones.push_back(std::make_unique<StreamPhone>(("127.0.0." + std::to_string(i)).c_str(), port));
            ASSERT_FALSE(phones.back()->readHead().empty());
        }
        ASSERT_TRUE(WaitUntil([&] { return lookup->started == 6; }));
        // Control requests waiting for the rest of their bodies, and a connection that is silent.
        for (int i = 0; i < 4; ++i) {
            int fd = ConnectFrom("127.0.0.20", port);
            ASSERT_GE(fd, 0);
            SendText(fd, "POST /camera HTTP/1.1\r\nContent-Length: 5000\r\n\r\n{\"zoom\":");
            controls.push_back(fd);
        }
        int silent = ConnectFrom("127.0.0.21", port);
        ASSERT_GE(silent, 0);
        controls.push_back(silent);
        // Frames go out from another thread while the server is torn down.
        std::atomic<bool> pushing{true};
        std::thread pusher([&] {
            while (pushing.load()) server->pushFrame("frame", 5);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pushing.store(false);
        pusher.join();
        server.reset();  // stops: waits for the accept loop and control requests
    }
    // The lookups finish after the server is gone; they must not touch its state.
    lookup->release();
    ASSERT_TRUE(WaitUntil([&] { return lookup->finished == 6; }));
    for (auto& phone : phones) EXPECT_TRUE(phone->seesEnd());
    for (int fd : controls) {
        ReadToEnd(fd);  // answered or closed; never left hanging
        close(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the late writes run under the sanitizers
}

// The entry point the fuzz targets drive with any bytes: one connection through a socketpair,
// served on this thread.
TEST(ServerControlEntry, ServesControlRequestsThroughASocketpair) {
    qlo::log::SetStderrEnabled(false);
    MJPEGServer server;  // never started
    int pair[2];
    const auto open = [&](const std::string& request) {
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        SendText(pair[1], request);
    };
    const auto answer = [&] {
        std::string text = ReadToEnd(pair[1]);
        close(pair[1]);
        return text;
    };
    open(Get("/stream"));
    shutdown(pair[1], SHUT_WR);
    EXPECT_FALSE(server.serveControlConnection(pair[0]));
    EXPECT_EQ(answer(), "");
    // A register over a socket without an IP records nothing in the registry but is answered.
    open(Post("/register", R"({"deviceName":"X"})"));
    shutdown(pair[1], SHUT_WR);
    EXPECT_TRUE(server.serveControlConnection(pair[0]));
    EXPECT_EQ(answer().rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_TRUE(server.hasPendingSelectCamera());

    // A peer that trickles a head without its blank line is taken as it came at the deadline,
    // while it is still trickling: the reading never waits for the peer's next byte.
    open("GET /info HTTP/1.1\r\nX-Pad: ");
    std::atomic<bool> served{false};
    std::atomic<int> trickled{0};
    std::thread peer([&] {
        for (; trickled < 400 && !served; ++trickled) {
            send(pair[1], "x", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_TRUE(server.serveControlConnection(pair[0]));
    served = true;
    EXPECT_LT(trickled.load(), 400) << "served only once the peer stopped";
    peer.join();
    EXPECT_NE(answer().find("\"service\":\"quillo\""), std::string::npos);
}

}  // namespace
