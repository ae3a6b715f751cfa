// The panel's visibility drives the services: the menu command toggles the panel, the next
// menu update starts or stops the services, and the check mark follows "shown and frontmost".
#include "frame_fixture.h"
#include "link/mjpeg_server.h"
#include "link/motion_receiver.h"

using qlo::hostsim::MenuChoice;

TEST_F(FrameTest, LoadingRegistersMenuCommandAndPanelButStartsNothing) {
    attach();
    EXPECT_TRUE(log.contains("[Quillo] Plug-in loaded"));
    ASSERT_TRUE(checked().has_value()) << "no \"Quillo\" item in the menus";
    EXPECT_FALSE(*checked());
    auto panel = app->workspace().panel(kQLOPanelName);
    ASSERT_TRUE(panel.has_value());
    EXPECT_FALSE(panel->created);
    EXPECT_TRUE(panel->paintBackground);
    EXPECT_EQ(panelSuiteHeld(), 1);
    // Other commands are left to the host.
    ASSERT_EQ(app->doCommand(qlo::hostsim::kHostCmdWindowInfo), A_Err_NONE);
    EXPECT_FALSE(panelShown());
    app->runRounds(3);
    EXPECT_EQ(starts(), 0u);
}

TEST_F(FrameTest, MenuCommandTogglesThePanelAndMenuUpdatesStartAndStopServicesOnce) {
    attach();
    EXPECT_EQ(app->chooseMenuCommand(kQLOPanelName), MenuChoice::Handled);
    EXPECT_TRUE(panelShown());
    // Creating the panel started the services; the menu updates that follow see the panel
    // shown and must not start them again.
    EXPECT_EQ(starts(), 1u);
    app->updateMenus();
    app->runRounds(5);
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(checked(), true);
    EXPECT_EQ(app->workspace().panel(kQLOPanelName)->title, "Quillo");

    // The menu command again hides the panel; the next menu update stops the services.
    EXPECT_EQ(app->chooseMenuCommand(kQLOPanelName), MenuChoice::Handled);
    app->updateMenus();
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(stops(), 1u);
    EXPECT_EQ(checked(), false);
    EXPECT_TRUE(g_server == nullptr && g_motion == nullptr);
    EXPECT_EQ(log.count("[Quillo] MJPEG server stopped"), 1u);

    // Shown again: the panel already exists, so the menu update starts fresh services.
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    EXPECT_EQ(starts(), 2u);
    EXPECT_TRUE(g_server && g_motion);
    EXPECT_EQ(checked(), true);
    EXPECT_EQ(log.count("[Quillo] Panel created"), 1u);

    // The user closes the tab: the periodic menu update notices it.
    ASSERT_TRUE(app->closeTab(kQLOPanelName));
    app->updateMenus();
    EXPECT_EQ(stops(), 2u);
    EXPECT_EQ(checked(), false);
}

TEST_F(FrameTest, ShownButNotFrontmostKeepsServicesWithoutCheckMark) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    ASSERT_EQ(checked(), true);

    ASSERT_TRUE(app->bringTabToFront(app->workspace().tabs().front() == kQLOPanelName
                                         ? app->workspace().tabs().back()
                                         : app->workspace().tabs().front()));
    app->updateMenus();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(checked(), false);
    EXPECT_EQ(stops(), 0u);

    ASSERT_TRUE(app->bringTabToFront(kQLOPanelName));
    app->updateMenus();
    EXPECT_EQ(checked(), true);
    EXPECT_EQ(starts(), 1u);
}

TEST_F(FrameTest, PanelReportsTwoSnapSizesAndNoFlyout) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    std::vector<A_LPoint> sizes;
    ASSERT_EQ(app->panelSnapSizes(kQLOPanelName, &sizes), A_Err_NONE);
    std::vector<std::pair<A_long, A_long>> seen;
    for (const A_LPoint& s : sizes) seen.emplace_back(s.x, s.y);
    EXPECT_EQ(seen, (std::vector<std::pair<A_long, A_long>>{{320, 240}, {480, 360}}));

    AEGP_FlyoutMenuItem items[AEGP_MAX_FLYOUT_ITEMS];
    A_long count = AEGP_MAX_FLYOUT_ITEMS;
    EXPECT_EQ(QLOPopulateFlyout(nullptr, items, &count), A_Err_NONE);
    EXPECT_EQ(count, 0);
}

TEST_F(FrameTest, DeathTearsDownAndReleasesThePanelSuite) {
    attach();
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    ASSERT_EQ(panelSuiteHeld(), 1);

    app->shutdown();
    EXPECT_TRUE(log.contains("[Quillo] Shutting down"));
    EXPECT_TRUE(g_server == nullptr && g_motion == nullptr);
    EXPECT_EQ(log.count("[Quillo] MJPEG server stopped"), 1u);
    EXPECT_EQ(panelSuiteHeld(), 0);
    EXPECT_EQ(g_panelSuite, nullptr);
    // Every suite the plug-in acquired was given back.
    EXPECT_EQ(registry().outstandingTotal(), 0);
    EXPECT_EQ(registry().unbalancedReleases(), 0);
}

TEST_F(FrameTest, IdleHookAsksForNoSleepAndLogsEveryThirtiethCall) {
    attach();
    for (int i = 0; i < 61; ++i) {
        A_long maxSleep = 50;
        ASSERT_EQ(IdleHook(nullptr, nullptr, &maxSleep), A_Err_NONE);
        ASSERT_EQ(maxSleep, 0);
    }
    EXPECT_EQ(log.count("[Quillo Idle] tick="), 3u);
    EXPECT_TRUE(log.contains("[Quillo Idle] tick=31 running=0 clients=0"));
    EXPECT_EQ(IdleHook(nullptr, nullptr, nullptr), A_Err_NONE);
}
