// The panel's split-view set-up presses the viewer's controls in delayed steps. When the plug-in
// unloads, or the panel is hidden (the services stop), while steps are still due, the set-up ends
// with it: no later step presses anything or touches what was torn down, and no menu stays open.
#include "panel/ax_automation.h"
#include "panel/panel_fixture.h"

class SplitViewPendingTest : public PanelTest {
protected:
    // Three moving phones, and a set-up started for them that has a pane's menu open with steps due.
    void startSetUp() {
        for (int i = 1; i <= 3; ++i) {
            const std::string ip = "127.0.0." + std::to_string(i + 1), name = "P" + std::to_string(i);
            moveAndWait(connect(ip.c_str(), "?deviceName=" + name, name, i), {0, 10.0f * i, 0, 0, 0, 0});
            pass(2);
        }
        panel->refreshClients();
        advance(2.2);
        ASSERT_TRUE(panel->splitViewRunning());
        ASSERT_EQ(openMenus(), 1);
    }
    // Pop-up menus open anywhere in the host's interface.
    int openMenus() {
        int open = 0;
        qloAXWalk(qlo::ax::kAXMenuRole, 6000, [&open](const qlo::ax::Element&) { return ++open, false; });
        return open;
    }
    // Every step that was due has had its time, and none assigned a camera or left a menu open.
    void expectNoFurtherSteps() {
        EXPECT_EQ(openMenus(), 0);
        const size_t assigned = log.count("[Quillo] Camera '");
        advance(3.0);
        EXPECT_EQ(log.count("[Quillo] Camera '"), assigned);
        EXPECT_EQ(openMenus(), 0);
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
    EXPECT_FALSE(panel->splitViewRunning());
    expectNoFurtherSteps();
}
