// The services the panel starts: the HTTP/MJPEG server and the motion receiver, created only
// when missing, and the motion port handed to the server only right after a new receiver
// started; a start that goes wrong half-way, and the host creating the panel twice.
#include "frame_fixture.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "panel/panel_controller.h"
#include "platform/ui/window.h"
#include "support/test_support.h"

namespace {

std::string Info(int port) { return qlotest::Exchange(static_cast<uint16_t>(port), qlotest::Get("/info")); }

}  // namespace

TEST_F(FrameTest, ServerPortTakenLeavesReceiverRunningAndALaterServerWithoutControlPort) {
    MJPEGServer holder;  // holds the port on every address
    const uint16_t taken = holder.start(0);
    log.clear();  // of the holder's start
    ASSERT_NE(taken, 0);
    QLOSetServicePorts(taken, 0);
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    EXPECT_EQ(g_server, nullptr);
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
    MotionReceiver holder;  // holds the port on every address
    const uint16_t taken = holder.start(0);
    log.clear();  // of the holder's start
    ASSERT_NE(taken, 0);
    QLOSetServicePorts(0, taken);
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    ASSERT_NE(g_server, nullptr);
    EXPECT_EQ(g_motion, nullptr);
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
    ASSERT_TRUE(g_panelController && g_server);
    const auto* server = &*g_server;
    const QLOPanelController* first = g_panelController.get();
    auto window = std::make_shared<qlo::ui::Window>("Again", qlo::ui::Rect{0, 0, 400, 600});
    AEGP_PanelFunctions1 functions{};
    AEGP_PanelRefcon refcon = nullptr;
    const auto view = reinterpret_cast<AEGP_PlatformViewRef>(&window->contentView());
    ASSERT_EQ(CreatePanelHook(nullptr, nullptr, view, nullptr, &functions, &refcon), A_Err_NONE);
    ASSERT_TRUE(g_panelController);
    EXPECT_NE(g_panelController.get(), first);
    EXPECT_EQ(refcon, reinterpret_cast<AEGP_PanelRefcon>(g_panelController.get()));
    EXPECT_FALSE(window->contentView().subviews().empty());
    // The running services stay as they were, and a menu update after it starts nothing.
    const size_t startsAfterCreate = starts();
    app->runRounds(1);
    EXPECT_EQ(starts(), startsAfterCreate);
    EXPECT_EQ(&*g_server, server);
    EXPECT_EQ(log.count("[Quillo] MotionReceiver listening on UDP port "), 1u);
    g_panelController->tearDown();
    g_panelController = nullptr;
}
