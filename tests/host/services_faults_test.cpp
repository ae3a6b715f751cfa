// The services when a start goes wrong or is asked twice: a motion port that cannot be bound
// while the server starts, and the host creating the panel a second time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "frame_fixture.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "panel/panel_controller.h"
#include "platform/ui/window.h"
#include "support/test_support.h"

namespace {

// A UDP port held by a plain IPv4 socket: the receiver's dual-stack bind and its IPv4 fallback
// both fail there.
struct TakenUdpPort {
    TakenUdpPort() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        socklen_t len = sizeof a;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~TakenUdpPort() { close(fd); }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
};

std::string Info(uint16_t port) { return qlotest::Exchange(port, qlotest::Get("/info")); }

}  // namespace

TEST_F(FrameTest, AMotionPortThatCannotBeBoundLeavesTheServerRunningAndALaterReceiverAnnounced) {
    TakenUdpPort taken;
    ASSERT_NE(taken.port, 0);
    QLOSetServicePorts(0, taken.port);
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_NE(g_server, nullptr);
    EXPECT_EQ(g_motion, nullptr);
    EXPECT_EQ(log.count("[Quillo] Failed to start motion receiver"), 1u);
    const uint16_t port = g_server->start(0);  // running: its own port
    EXPECT_NE(Info(port).find("\"controlPort\":0,"), std::string::npos);  // no motion port to announce

    // The next start makes only the receiver, and the running server is given its port.
    QLOSetServicePorts(0, 0);
    QLOStartServices();
    ASSERT_NE(g_motion, nullptr);
    EXPECT_EQ(g_server->start(0), port);
    const auto lines = log.matching("[Quillo] MotionReceiver listening on UDP port ");
    ASSERT_EQ(lines.size(), 1u);
    const std::string motionPort = lines[0].substr(lines[0].rfind(' ') + 1);
    EXPECT_NE(Info(port).find("\"controlPort\":" + motionPort + ","), std::string::npos) << Info(port);
}

TEST_F(FrameTest, APanelCreatedAgainReplacesTheFirstAndStartsNothingTwice) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_TRUE(g_panelController);
    ASSERT_NE(g_server, nullptr);
    const auto* server = &*g_server;
    const QLOPanelController* first = g_panelController.get();

    auto window = std::make_shared<qlo::ui::Window>("Again", qlo::ui::Rect{0, 0, 400, 600});
    AEGP_PanelFunctions1 functions{};
    AEGP_PanelRefcon refcon = nullptr;
    ASSERT_EQ(CreatePanelHook(nullptr, nullptr, reinterpret_cast<AEGP_PlatformViewRef>(&window->contentView()), nullptr, &functions, &refcon), A_Err_NONE);
    ASSERT_TRUE(g_panelController);
    EXPECT_NE(g_panelController.get(), first);
    EXPECT_EQ(refcon, reinterpret_cast<AEGP_PanelRefcon>(g_panelController.get()));
    EXPECT_FALSE(window->contentView().subviews().empty());
    EXPECT_NE(functions.GetSnapSizes, nullptr);
    // The running services stay as they were: one server, one receiver, one listening line each.
    EXPECT_EQ(&*g_server, server);
    EXPECT_EQ(log.count("[Quillo] MJPEG server listening on port "), 1u);
    EXPECT_EQ(log.count("[Quillo] MotionReceiver listening on UDP port "), 1u);
    // A menu update after it does not start them again.
    const size_t startsAfterCreate = starts();
    app->runRounds(1);
    EXPECT_EQ(starts(), startsAfterCreate);
    EXPECT_EQ(log.count("[Quillo] MJPEG server listening on port "), 1u);
    g_panelController->tearDown();
    g_panelController = nullptr;
}
