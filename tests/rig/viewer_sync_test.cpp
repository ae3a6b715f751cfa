// The viewer layout script, run by the stand-in host's script engine: layouts and view cameras
// for one to five phones, names that need escaping, and when the script runs again.
#include "recording_http.h"
#include "hostsim/script/extendscript.h"
#include "rig/viewer_sync.h"

class ViewerSyncTest : public PluginTest {
protected:
    size_t runs() { return log.matching("[Quillo viewer-sync] ").size(); }
    qh::ObjectId camera(const std::string& name) {
        if (qh::Layer* l = layer(name)) return l->id();
        return comp->addCamera(name, A_FloatPoint{960, 540}).id();
    }
    // The camera names the front viewer's panes look through (0 for a standard view).
    std::vector<qh::ObjectId> paneCameras() {
        std::vector<qh::ObjectId> ids;
        for (const auto& p : app->viewerState().panes) ids.push_back(p.cameraLayer);
        return ids;
    }
};

TEST_F(ViewerSyncTest, LayoutAndViewCamerasForOneToFivePhones) {
    const std::vector<std::string> all{"C1", "C2", "C3", "C4", "C5"};
    std::vector<qh::ObjectId> ids;
    for (const auto& n : all) ids.push_back(camera(n));
    const qh::ViewLayout layouts[] = {qh::ViewLayout::OneView, qh::ViewLayout::TwoViewsHorizontal,
                                      qh::ViewLayout::FourViews, qh::ViewLayout::FourViews, qh::ViewLayout::FourViews};
    for (size_t n = 1; n <= 5; ++n) {
        SyncViewerLayoutForPhones(V(all.begin(), all.begin() + n));
        EXPECT_EQ(app->viewerState().layout, layouts[n - 1]) << n;
        const auto panes = paneCameras();
        for (size_t i = 0; i < std::min<size_t>(n, 4); ++i) EXPECT_EQ(panes[i], ids[i]) << n << " " << i;
        if (n == 3) {
            EXPECT_EQ(panes[3], 0u);  // the fourth view keeps its own camera
        }
    }
    EXPECT_TRUE(log.contains("[Quillo viewer-sync] phones=5|views=4|layout=4 Views/"));
    EXPECT_EQ(runs(), 5u);
}

TEST_F(ViewerSyncTest, NamesWithQuotesAndBackslashesReachTheirCameras) {
    const std::string a = "Cam \"A\"", b = "C:\\phones\\b\\";
    const qh::ObjectId ia = camera(a), ib = camera(b);
    SyncViewerLayoutForPhones({a, b});
    EXPECT_EQ(paneCameras(), (std::vector<qh::ObjectId>{ia, ib}));
    EXPECT_FALSE(log.contains("layer-not-found"));
    EXPECT_FALSE(log.contains("Script error"));
}

TEST_F(ViewerSyncTest, RunsOnlyWhenTheCameraListChanges) {
    camera("A"), camera("B"), camera("A|B");
    SyncViewerLayoutForPhones({});  // the empty list at load: nothing to do
    EXPECT_EQ(runs(), 0u);
    SyncViewerLayoutForPhones({"A", "B"});
    SyncViewerLayoutForPhones({"A", "B"});
    EXPECT_EQ(runs(), 1u);
    // One camera whose name holds "|" is a different list from the two it seems to join.
    SyncViewerLayoutForPhones({"A|B"});
    EXPECT_EQ(runs(), 2u);
    EXPECT_EQ(app->viewerState().layout, qh::ViewLayout::OneView);
    EXPECT_EQ(paneCameras()[0], layer("A|B")->id());
    SyncViewerLayoutForPhones({"A", "B"});
    SyncViewerLayoutForPhones({"B", "A"});
    EXPECT_EQ(runs(), 4u);
    SyncViewerLayoutForPhones({});
    EXPECT_TRUE(log.contains("[Quillo viewer-sync] phones=0|views=2|layout=1 View/"));
}

// The script itself, run by quillo-host's engine: what it reports, the active view, a name with
// no layer, and a project whose active item is no composition.
TEST_F(ViewerSyncTest, TheScriptReportsEachStepAndSkipsWhatIsMissing) {
    const qh::ObjectId p2 = camera("P2");
    const std::string props = "|viewProps=active,activeCamera|viewerProps=views,active,activeViewIndex";
    const std::string set = "|set/activeCamera=ok|set/camera-err|set/sourceCamera-err|set/cameraLayer-err";
    const auto run = [](const V& names) {
        std::string result, error;
        EXPECT_TRUE(qh::script::RunExtendScript(ViewerLayoutScript(names), &result, &error)) << error;
        return result;
    };
    ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::FourViews), A_Err_NONE);
    EXPECT_EQ(run({"P2", "Nobody"}),
              "phones=2|views=4|layout=2 Views Horizontal/3202|views2=2" + props + set + "|layer-not-found(Nobody)");
    EXPECT_EQ(paneCameras(), (std::vector<qh::ObjectId>{p2, 0}));
    EXPECT_EQ(app->viewerState().activePane, 1) << "the last view set up is the active one";
    EXPECT_EQ(run({}), "phones=0|views=2|layout=1 View/3201|views2=1" + props);

    ASSERT_TRUE(qh::CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(run({"P2"}), "no-comp");
    const uint64_t before = ViewerSyncRunCount();
    SyncViewerLayoutForPhones({"P2"});
    EXPECT_EQ(ViewerSyncRunCount(), before) << "a script that found no composition is no run";
    EXPECT_TRUE(log.contains("[Quillo viewer-sync] no-comp"));
}
