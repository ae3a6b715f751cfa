// The split-view set-up end to end: phones connect, the panel presses the host viewer's own
// controls through the accessibility layer, and the viewer ends with one phone camera per pane.
#include "panel/panel_fixture.h"

namespace qh = qlo::hostsim;

namespace {

std::vector<std::string> PaneCameras(const qh::HostApp& app) {
    const qh::ObjectId comp = qh::Viewer::FrontComposition();
    std::vector<std::string> names;
    for (const auto& pane : app.viewerState().panes) names.push_back(qh::Viewer::CameraName(comp, pane));
    return names;
}

}  // namespace

class SplitViewTest : public PanelTest {
protected:
    // Phones P1..Pn, the camera layers their motion makes, and the viewer back to one view
    // through the active camera, so that only the panel changes it from here.
    void connectPhones(int n) {
        for (int i = 1; i <= n; ++i) {
            const std::string ip = "127.0.0." + std::to_string(i + 1), name = "P" + std::to_string(i);
            moveAndWait(connect(ip.c_str(), "?deviceName=" + name, name, i), {0, 10.0f * i, 0, 0, 0, 0});
            pass(2);
        }
        ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::OneView), A_Err_NONE);
        ASSERT_TRUE(app->viewer().setPaneStandardView(qh::Viewer::FrontComposition(), 0, "Active Camera"));
        log.clear();
    }
    size_t lines(const std::string& prefix) { return log.matching(prefix).size(); }
};

TEST_F(SplitViewTest, FourPhonesGetFourPanesOneSecondAndAHalfAfterTheLastChange) {
    connectPhones(4);
    panel->refreshClients();
    advance(1.4);
    EXPECT_EQ(lines("[Quillo] Setting up"), 0u);
    advance(0.15);
    EXPECT_EQ(log.matching("[Quillo] Setting up 4-view layout for cameras: ")[0],
              "[Quillo] Setting up 4-view layout for cameras: [\"P1\",\"P2\",\"P3\",\"P4\"]");
    EXPECT_EQ(log.matching("[Quillo] Layout switch to 4 views: ")[0], "[Quillo] Layout switch to 4 views: OK");
    EXPECT_EQ(app->viewerState().panes.size(), 4u);

    // Pop-up p is pressed at 0.5 + 0.45 p s and its item chosen 0.25 s later.
    advance(0.6);
    EXPECT_EQ(lines("[Quillo] Camera '"), 0u);
    advance(0.2);
    EXPECT_EQ(lines("[Quillo] Camera '"), 1u);
    advance(1.4);
    EXPECT_EQ(log.matching("[Quillo] Camera '"),
              (V{"[Quillo] Camera 'P1' → pane 0: assigned", "[Quillo] Camera 'P2' → pane 1: assigned",
                 "[Quillo] Camera 'P3' → pane 2: assigned", "[Quillo] Camera 'P4' → pane 3: assigned"}));
    // Left to right: the left column (views 1 and 3) before the right one (views 2 and 4).
    EXPECT_EQ(PaneCameras(*app), (V{"P1", "P3", "P2", "P4"}));
}

TEST_F(SplitViewTest, ThreePhonesGetTwoPanesAndOnlyTheLastChangeRuns) {
    connectPhones(3);
    panel->refreshClients();
    advance(1.0);
    phones.pop_back();  // the third phone leaves before the timer fires
    EXPECT_TRUE(WaitFor([&] { return pass(), g_server->clientCount() == 2; }));
    panel->refreshClients();
    advance(1.4);
    EXPECT_EQ(lines("[Quillo] Setting up"), 0u);
    advance(2.0);
    EXPECT_EQ(lines("[Quillo] Setting up"), 1u);
    EXPECT_EQ(lines("[Quillo] Setting up 2-view layout"), 1u);
    EXPECT_EQ(PaneCameras(*app), (V{"P1", "P2"}));
}

TEST_F(SplitViewTest, AClickWithNoPhoneSwitchesToOneViewAndAssignsNothing) {
    ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::FourViews), A_Err_NONE);
    panel->splitViewBtn->performClick();
    EXPECT_EQ(log.matching("[Quillo] Layout switch to 1 views: ")[0], "[Quillo] Layout switch to 1 views: OK");
    advance(2.0);
    EXPECT_EQ(app->viewerState().panes.size(), 1u);
    EXPECT_EQ(lines("[Quillo] Found"), 0u);
}

TEST_F(SplitViewTest, AMissingCameraLeavesItsPaneAndTheNextPaneGetsItsOwn) {
    connect("127.0.0.2", "?deviceName=P1", "P1", 1);  // sends no motion: no camera layer of its own
    moveAndWait(connect("127.0.0.3", "?deviceName=P2", "P2", 2), {0, 20, 0, 0, 0, 0});
    pass(2);
    ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::OneView), A_Err_NONE);
    ASSERT_TRUE(app->viewer().setPaneStandardView(qh::Viewer::FrontComposition(), 0, "Active Camera"));
    log.clear();
    panel->refreshClients();
    panel->splitViewBtn->performClick();
    advance(1.4);
    EXPECT_EQ(log.matching("[Quillo] Camera '"),
              (V{"[Quillo] Camera 'P1' → pane 0: menu item not found", "[Quillo] Camera 'P2' → pane 1: assigned"}));
    // Pane 0's menu, left open, closed when pane 1's opened: P2 went to pane 1, not pane 0.
    EXPECT_EQ(PaneCameras(*app), (V{"Active Camera", "P2"}));
}
