// The split-view set-up end to end: phones connect, the panel presses the host viewer's own
// controls through the accessibility layer, and the viewer ends with one phone camera per pane.
// Also how set-ups meet each other and the viewer-layout sync, and what a refused press or a
// missing camera leaves behind.
#include "panel/ax_automation.h"
#include "panel/panel_fixture.h"

namespace qh = qlo::hostsim;

namespace {

std::vector<std::string> PaneCameras(const qh::HostApp& app) {
    const qh::ObjectId comp = qh::Viewer::FrontComposition();
    std::vector<std::string> names;
    for (const auto& pane : app.viewerState().panes) names.push_back(qh::Viewer::CameraName(comp, pane));
    return names;
}

// Pop-up menus open anywhere in the host's interface.
int OpenMenus() {
    int open = 0;
    qloAXWalk(qlo::ax::kAXMenuRole, 6000, [&open](const qlo::ax::Element&) { return ++open, false; });
    return open;
}

}  // namespace

class SplitViewTest : public PanelTest {
protected:
    // Phones P1..Pn; all but those named in `still` send motion, which makes their camera layers.
    // Then the viewer goes back to one view through the active camera, so that only the panel
    // changes it from here.
    void phonesAndOneView(int n, const V& still = {}) {
        for (int i = 1; i <= n; ++i) {
            const std::string ip = "127.0.0." + std::to_string(i + 1), name = "P" + std::to_string(i);
            Phone& phone = connect(ip.c_str(), "?deviceName=" + name, name, i);
            if (std::ranges::count(still, name) == 0) moveAndWait(phone, {0, 10.0f * i, 0, 0, 0, 0});
            pass(2);
        }
        ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::OneView), A_Err_NONE);
        ASSERT_TRUE(app->viewer().setPaneStandardView(qh::Viewer::FrontComposition(), 0, "Active Camera"));
        log.clear();
    }
    // Refreshes the list and lets the automatic set-up start, one second and a half after the
    // phone count last changed.
    void startAutomaticRun() {
        panel->refreshClients();
        advance(1.4);
        ASSERT_EQ(lines("[Quillo] Setting up"), 0u);
        advance(0.15);
        ASSERT_EQ(lines("[Quillo] Setting up"), 1u);
    }
    size_t lines(const std::string& prefix) { return log.matching(prefix).size(); }
};

TEST_F(SplitViewTest, OnlyTheLastCountChangeRuns) {
    phonesAndOneView(3);
    panel->refreshClients();
    advance(1.0);
    phones.pop_back();  // the third phone leaves before the timer fires
    EXPECT_TRUE(WaitFor([&] { return pass(), g_server->clientCount() == 2; }));
    panel->refreshClients();
    advance(1.4);
    EXPECT_EQ(lines("[Quillo] Setting up"), 0u);
    advance(2.0);
    EXPECT_EQ(lines("[Quillo] Setting up"), 1u);
    EXPECT_EQ(lines("[Quillo] Found 2 camera popup(s) in viewer"), 1u);
    EXPECT_EQ(PaneCameras(*app), (V{"P1", "P2"}));
}

// A click while the automatic set-up has a pane's menu open: the automatic one stops there,
// its menu closes, and the viewer ends exactly as the click's phone list asks.
TEST_F(SplitViewTest, ANewRequestReplacesTheRunningOne) {
    phonesAndOneView(4);
    comp->addCamera("P5", A_FloatPoint{960, 540});
    startAutomaticRun();
    advance(0.6);
    ASSERT_EQ(OpenMenus(), 1);

    connect("127.0.0.5", "?deviceName=P5", "P5", 4);  // P4's address: the new stream replaces P4's
    panel->refreshClients();
    ASSERT_EQ(panel->cameraNames(), (V{"P1", "P2", "P3", "P5"}));
    panel->splitViewBtn->performClick();
    EXPECT_EQ(OpenMenus(), 0);
    advance(3.0);
    EXPECT_EQ(lines("[Quillo] Camera '"), 4u) << "the stopped set-up assigns nothing more";
    EXPECT_EQ(PaneCameras(*app), (V{"P1", "P3", "P2", "P5"}));
    EXPECT_EQ(OpenMenus(), 0);
    EXPECT_FALSE(panel->splitViewRunning());
}

// P4's camera appears while the set-up has the second pane's menu open: the sync arranges the
// viewer for the four cameras, and the set-up stops rather than reassign half of the panes.
TEST_F(SplitViewTest, TheSyncRearrangingTheViewerStopsARunningSetUp) {
    phonesAndOneView(4, {"P4"});
    startAutomaticRun();
    advance(1.0);
    ASSERT_EQ(lines("[Quillo] Camera '"), 1u);
    ASSERT_EQ(OpenMenus(), 1);

    moveAndWait(*phones[3], {0, 40, 0, 0, 0, 0});
    pass(2);
    ASSERT_EQ(lines("[Quillo viewer-sync] "), 1u);
    advance(2.0);
    EXPECT_EQ(lines("[Quillo] Camera '"), 1u);
    EXPECT_EQ(PaneCameras(*app), (V{"P1", "P2", "P3", "P4"}));
    EXPECT_EQ(OpenMenus(), 0);
}

TEST_F(SplitViewTest, AClickWithNoPhoneSwitchesToOneViewAndAssignsNothing) {
    ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::FourViews), A_Err_NONE);
    panel->splitViewBtn->performClick();
    advance(2.0);
    EXPECT_EQ(app->viewerState().panes.size(), 1u);
    EXPECT_EQ(lines("[Quillo] Found"), 0u);
}

// With no composition open the layout control is disabled: the press is refused, and the
// set-up ends there instead of looking for panes.
TEST_F(SplitViewTest, ARefusedLayoutSwitchIsAFailureAndEndsTheSetUp) {
    phonesAndOneView(2);
    qh::CurrentProject().closeViewer(comp->id());
    panel->refreshClients();
    panel->splitViewBtn->performClick();
    EXPECT_EQ(log.matching("[Quillo] Layout switch to "),
              V{"[Quillo] Layout switch to 2 views: refused, the control is disabled or hidden (AX error -25204)"});
    EXPECT_FALSE(panel->splitViewRunning());
    advance(1.0);
    EXPECT_EQ(lines("[Quillo] Found"), 0u);
}

// P1 and P3 drive no camera of their own, so their names are not in the panes' menus: each
// such menu is closed again, its pane keeps its camera, and the pane after it is still done.
// Three phones get four views, and the fourth keeps the camera a new fourth view gets.
TEST_F(SplitViewTest, AMissingCameraHasItsMenuClosedAndTheNextPaneIsStillDone) {
    phonesAndOneView(3, {"P1", "P3"});
    startAutomaticRun();
    advance(2.4);
    EXPECT_EQ(log.matching("[Quillo] Camera '"),
              (V{"[Quillo] Camera 'P1' → pane 0: menu item not found", "[Quillo] Camera 'P2' → pane 1: assigned",
                 "[Quillo] Camera 'P3' → pane 2: menu item not found"}));
    EXPECT_EQ(OpenMenus(), 0);
    EXPECT_EQ(PaneCameras(*app), (V{"Active Camera", "Front", "P2", "Active Camera"}));
}
