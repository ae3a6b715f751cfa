// The panel's split-view set-up presses the viewer's controls in delayed steps. When the plug-in
// unloads, or the panel is hidden (the services stop), while steps are still due, the set-up ends
// with it: no later step presses anything or touches what was torn down, and no menu stays open.
#include "panel/ax_automation.h"
#include "panel/panel_fixture.h"

class SplitViewPendingTest : public PanelTest {
protected:
    // Three phones, and a set-up started for them that has a pane's menu open with steps due.
    void startSetUp() {
        connectPhones(3);
        panel->refreshClients();
        advance(2.2);
        ASSERT_EQ(log.count("[Quillo] Setting up"), 1u);
        ASSERT_TRUE(panel->splitViewRunning());
        ASSERT_EQ(OpenMenus(), 1);
    }
    // Every step that was due has had its time, and none assigned a camera or left a menu open.
    void expectNoFurtherSteps() {
        EXPECT_EQ(OpenMenus(), 0);
        const size_t assigned = log.count("[Quillo] Camera '");
        advance(3.0);
        EXPECT_EQ(log.count("[Quillo] Camera '"), assigned);
        EXPECT_EQ(OpenMenus(), 0);
    }
};

TEST_F(SplitViewPendingTest, UnloadingEndsIt) {
    ASSERT_NO_FATAL_FAILURE(startSetUp());
    app->shutdown();
    panel = nullptr;
    expectNoFurtherSteps();
}

TEST_F(SplitViewPendingTest, HidingThePanelEndsIt) {
    ASSERT_NO_FATAL_FAILURE(startSetUp());
    // The menu command hides the panel; the next menu update stops the services.
    app->chooseMenuCommand(kQLOPanelName);
    app->updateMenus();
    ASSERT_EQ(log.count("[Quillo] Stopping services"), 1u);
    EXPECT_FALSE(panel->splitViewRunning());
    expectNoFurtherSteps();
}
