// The panel's visibility drives the services: the menu command toggles the panel, the next
// menu update starts or stops the services, and the check mark follows "shown and frontmost".
#include "frame_fixture.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"
#include "support/test_support.h"

using qlo::hostsim::MenuChoice;

TEST_F(FrameTest, TheMenuCommandTogglesThePanelWhoseMenuUpdatesStartAndStopTheServicesUntilDeath) {
    attach();
    // Loading registers the menu command and the panel, and starts nothing.
    ASSERT_EQ(checked(), false) << "no unchecked \"Quillo\" item in the menus";
    auto panel = app->workspace().panel(kQLOPanelName);
    ASSERT_TRUE(panel.has_value());
    EXPECT_FALSE(panel->created);
    ASSERT_EQ(app->doCommand(qlo::hostsim::kHostCmdWindowInfo), A_Err_NONE);  // left to the host
    EXPECT_FALSE(panelShown());
    app->runRounds(3);
    EXPECT_EQ(starts(), 0u);

    // Creating the panel starts the services once; they announce the motion port to phones.
    EXPECT_EQ(app->chooseMenuCommand(kQLOPanelName), MenuChoice::Handled);
    app->updateMenus();
    app->runRounds(5);
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(checked(), true);
    EXPECT_EQ(app->workspace().panel(kQLOPanelName)->title, "Quillo");
    std::vector<A_LPoint> snaps;
    ASSERT_EQ(app->panelSnapSizes(kQLOPanelName, &snaps), A_Err_NONE);
    ASSERT_EQ(snaps.size(), 2u) << "the two sizes the panel snaps to, and no others";
    EXPECT_EQ(std::tuple(snaps[0].x, snaps[0].y, snaps[1].x, snaps[1].y), std::tuple(320, 240, 480, 360));
    ASSERT_TRUE(g_server && g_motion && g_server->isRunning());
    const std::string port = loggedPort("[Quillo] MJPEG server listening on port ");
    const std::string motionPort = loggedPort("[Quillo] MotionReceiver listening on UDP port ");
    ASSERT_FALSE(port.empty() || motionPort.empty());
    EXPECT_NE(qlotest::Exchange(static_cast<uint16_t>(std::stoi(port)), qlotest::Get("/info"))
                  .find("\"port\":" + port + ",\"controlPort\":" + motionPort),
              std::string::npos);

    // Shown but behind another tab: the services keep running, without the check mark.
    const auto tabs = app->workspace().tabs();
    ASSERT_TRUE(app->bringTabToFront(tabs.front() == kQLOPanelName ? tabs.back() : tabs.front()));
    app->updateMenus();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(checked(), false);
    EXPECT_EQ(stops(), 0u);
    ASSERT_TRUE(app->bringTabToFront(kQLOPanelName));

    // The menu command again hides the panel; the next menu update stops the services.
    EXPECT_EQ(app->chooseMenuCommand(kQLOPanelName), MenuChoice::Handled);
    app->updateMenus();
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(stops(), 1u);
    EXPECT_EQ(checked(), false);
    EXPECT_TRUE(g_server == nullptr && g_motion == nullptr);

    // Shown again: the panel already exists, so the menu update starts fresh services.
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    EXPECT_EQ(starts(), 2u);
    EXPECT_EQ(checked(), true);

    // Death tears the running services down and gives back every suite the plug-in acquired.
    // (The user closing the tab stops the services too: tests/engine's Go to Time guard test.)
    app->shutdown();
    EXPECT_TRUE(g_server == nullptr && g_motion == nullptr);
    EXPECT_EQ(g_panelSuite, nullptr);
    EXPECT_EQ(registry().outstandingTotal(), 0);
    EXPECT_EQ(registry().unbalancedReleases(), 0);
}
