// The panel's split-view set-up presses the viewer's controls in delayed steps. When the plug-in
// unloads while steps are still due, the set-up ends with it: no later step presses anything or
// touches what was torn down, and no menu is left open.
#include "panel/ax_automation.h"
#include "panel/panel_fixture.h"

namespace {

int OpenMenus() {
    int open = 0;
    qloAXWalk(qlo::ax::kAXMenuRole, 6000, [&open](const qlo::ax::Element&) { return ++open, false; });
    return open;
}

}  // namespace

TEST_F(PanelTest, UnloadingWhileASplitViewSetUpHasStepsDueEndsIt) {
    for (int i = 1; i <= 3; ++i) {
        const std::string ip = "127.0.0." + std::to_string(i + 1), name = "P" + std::to_string(i);
        moveAndWait(connect(ip.c_str(), "?deviceName=" + name, name, i), {0, 10.0f * i, 0, 0, 0, 0});
        pass(2);
    }
    panel->refreshClients();
    advance(2.2);  // the set-up started, and has a pane's menu open with more steps due
    ASSERT_EQ(log.count("[Quillo] Setting up"), 1u);
    ASSERT_TRUE(panel->splitViewRunning());
    ASSERT_EQ(OpenMenus(), 1);

    app->shutdown();
    panel = nullptr;
    EXPECT_EQ(OpenMenus(), 0);
    const size_t assigned = log.count("[Quillo] Camera '");
    advance(3.0);  // every step that was due has had its time
    EXPECT_EQ(log.count("[Quillo] Camera '"), assigned);
    EXPECT_EQ(OpenMenus(), 0);
}

