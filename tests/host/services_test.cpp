// The services the panel starts: the HTTP/MJPEG server and the motion receiver, created only
// when missing, torn down in order, and the motion port handed to the server only right after a
// new receiver started; a start that goes wrong half-way, and the host creating the panel twice.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "frame_fixture.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "panel/panel_controller.h"
#include "platform/ui/window.h"
#include "support/test_support.h"

namespace {

// A port held by a plain IPv4 socket of `type` on every address: the services' dual-stack bind
// and their IPv4 fallback both fail there.
struct TakenPort {
    explicit TakenPort(int type) : fd(socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        socklen_t len = sizeof a;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && (type != SOCK_STREAM || listen(fd, 1) == 0) &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~TakenPort() { close(fd); }
    int fd;
    uint16_t port = 0;
};

std::string Info(int port) { return qlotest::Exchange(static_cast<uint16_t>(port), qlotest::Get("/info")); }

}  // namespace

TEST_F(FrameTest, ShowingThePanelStartsServerAndReceiverAndAnnouncesTheMotionPort) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_TRUE(g_server && g_motion);
    EXPECT_TRUE(g_server->isRunning());
    EXPECT_EQ(QLOServer(), g_server.get());
    const std::string port = loggedPort("[Quillo] MJPEG server listening on port ");
    const std::string motionPort = loggedPort("[Quillo] MotionReceiver listening on UDP port ");
    ASSERT_FALSE(port.empty() || motionPort.empty());
    EXPECT_NE(Info(std::stoi(port)).find("\"port\":" + port + ",\"controlPort\":" + motionPort), std::string::npos);
}

TEST_F(FrameTest, ServerPortTakenLeavesReceiverRunningAndALaterServerWithoutControlPort) {
    TakenPort taken(SOCK_STREAM);
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
    const std::string port = loggedPort("[Quillo] MJPEG server listening on port ");
    ASSERT_FALSE(port.empty());
    EXPECT_NE(Info(std::stoi(port)).find("\"controlPort\":0,"), std::string::npos);
    EXPECT_EQ(log.count("[Quillo] MotionReceiver listening on UDP port "), 1u);
}

TEST_F(FrameTest, AMotionPortThatCannotBeBoundLeavesTheServerRunningAndALaterReceiverAnnounced) {
    TakenPort taken(SOCK_DGRAM);
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
    const std::string motionPort = loggedPort("[Quillo] MotionReceiver listening on UDP port ");
    ASSERT_FALSE(motionPort.empty());
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
    // The running services stay as they were, and a menu update after it starts nothing.
    const size_t startsAfterCreate = starts();
    app->runRounds(1);
    EXPECT_EQ(starts(), startsAfterCreate);
    EXPECT_EQ(&*g_server, server);
    EXPECT_EQ(log.count("[Quillo] MJPEG server listening on port "), 1u);
    EXPECT_EQ(log.count("[Quillo] MotionReceiver listening on UDP port "), 1u);
    g_panelController->tearDown();
    g_panelController = nullptr;
}
