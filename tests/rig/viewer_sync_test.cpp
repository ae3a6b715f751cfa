// The viewer layout script, run by the stand-in host's script engine: layouts and view cameras
// for one to five phones, when the script runs again, and what it skips. How names are quoted in
// it is the reliability folder's test.
#include "engine/plugin_fixture.h"
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
    }
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
    EXPECT_EQ(paneCameras()[0], layer("A|B")->id());
    SyncViewerLayoutForPhones({"A", "B"});
    SyncViewerLayoutForPhones({"B", "A"});
    EXPECT_EQ(runs(), 4u);
}

// A name with no layer leaves its view's camera alone; a project whose active item is no
// composition is left alone and counts as no run.
TEST_F(ViewerSyncTest, WhatIsMissingIsSkipped) {
    const qh::ObjectId p2 = camera("P2");
    ASSERT_EQ(app->setViewerLayout(qh::ViewLayout::FourViews), A_Err_NONE);
    SyncViewerLayoutForPhones({"P2", "Nobody"});
    EXPECT_EQ(paneCameras(), (std::vector<qh::ObjectId>{p2, 0}));
    EXPECT_EQ(app->viewerState().activePane, 1) << "the last view set up is the active one";
    EXPECT_TRUE(log.contains("|layer-not-found(Nobody)"));

    ASSERT_TRUE(qh::CurrentProject().selectItem("Quillo Logo.png"));
    const uint64_t before = ViewerSyncRunCount();
    SyncViewerLayoutForPhones({"P2"});
    EXPECT_EQ(ViewerSyncRunCount(), before);
    EXPECT_TRUE(log.contains("[Quillo viewer-sync] no-comp"));
}

// A host that loads the plug-in again finds nothing of the earlier load: the viewer is arranged
// again for the list the earlier load last arranged it for.
TEST_F(ViewerSyncTest, ALoadArrangesTheViewerAgainForTheSameList) {
    camera("A");
    SyncViewerLayoutForPhones({"A"});
    loadPlugin();
    SyncViewerLayoutForPhones({"A"});
    EXPECT_EQ(runs(), 2u);
}
