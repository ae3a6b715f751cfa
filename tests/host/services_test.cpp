// The services the panel starts: the HTTP/MJPEG server and the motion receiver, created only
// when missing, torn down in order, and the motion port handed to the server only right after a
// new receiver started.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "frame_fixture.h"
#include "link/mjpeg_server.h"

namespace {

// GET /info from the server on the loopback address; the whole answer.
std::string GetInfo(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET /info HTTP/1.1\r\nHost: x\r\n\r\n";
        send(fd, request.data(), request.size(), 0);
        char buf[1024];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

// The port of a socket; 0 when it cannot be read.
uint16_t BoundPort(int fd) {
    sockaddr_in6 addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin6_port);
}

// A TCP port held by another listener for the lifetime of the object.
struct TakenPort {
    TakenPort() {
        fd = socket(AF_INET6, SOCK_STREAM, 0);
        int off = 0;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        sockaddr_in6 addr{};
        addr.sin6_family = AF_INET6;
        addr.sin6_addr = in6addr_any;
        bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd, 1);
        port = BoundPort(fd);
    }
    ~TakenPort() { close(fd); }
    int fd;
    uint16_t port;
};

}  // namespace

TEST_F(FrameTest, ShowingThePanelStartsServerAndReceiverAndAnnouncesTheMotionPort) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_NE(g_server, nullptr);
    ASSERT_NE(g_motion, nullptr);
    EXPECT_TRUE(g_server->isRunning());
    EXPECT_EQ(QLOServer(), g_server.get());

    const auto lines = log.matching("[Quillo] MJPEG server listening on port ");
    ASSERT_EQ(lines.size(), 1u);
    const int port = std::stoi(lines[0].substr(lines[0].rfind(' ') + 1));
    const auto motionLines = log.matching("[Quillo] MotionReceiver listening on UDP port ");
    ASSERT_EQ(motionLines.size(), 1u);
    const std::string motionPort = motionLines[0].substr(motionLines[0].rfind(' ') + 1);

    const std::string info = GetInfo(static_cast<uint16_t>(port));
    EXPECT_NE(info.find("\"port\":" + std::to_string(port) + ",\"controlPort\":" + motionPort),
              std::string::npos)
        << info;

    // Hiding the panel stops both; the next showing starts fresh objects.
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    EXPECT_EQ(g_server, nullptr);
    EXPECT_EQ(g_motion, nullptr);
    EXPECT_EQ(log.count("[Quillo] MJPEG server stopped"), 1u);
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    EXPECT_NE(g_server, nullptr);
    EXPECT_NE(g_motion, nullptr);
    EXPECT_EQ(log.count("[Quillo] MJPEG server listening on port "), 2u);
}

TEST_F(FrameTest, ServerPortTakenLeavesReceiverRunningAndALaterServerWithoutControlPort) {
    TakenPort taken;
    ASSERT_NE(taken.port, 0);
    QLOSetServicePorts(taken.port, 0);
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    EXPECT_EQ(g_server, nullptr);
    EXPECT_TRUE(log.contains("[Quillo] Failed to start MJPEG server"));
    ASSERT_NE(g_motion, nullptr);

    // A start while the receiver still runs creates only the server; it is not given the
    // motion port, because no receiver started with it.
    QLOSetServicePorts(0, 0);
    QLOStartServices();
    ASSERT_NE(g_server, nullptr);
    const auto lines = log.matching("[Quillo] MJPEG server listening on port ");
    ASSERT_EQ(lines.size(), 1u);
    const int port = std::stoi(lines[0].substr(lines[0].rfind(' ') + 1));
    EXPECT_NE(GetInfo(static_cast<uint16_t>(port)).find("\"controlPort\":0,"), std::string::npos);
    EXPECT_EQ(log.count("[Quillo] MotionReceiver listening on UDP port "), 1u);
}

TEST_F(FrameTest, DeathStopsReceiverThenServer) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_NE(g_server, nullptr);
    app->shutdown();
    EXPECT_EQ(g_server, nullptr);
    EXPECT_EQ(g_motion, nullptr);
    EXPECT_EQ(log.count("[Quillo] MJPEG server stopped"), 1u);
    EXPECT_EQ(registry().outstandingTotal(), 0);
}
