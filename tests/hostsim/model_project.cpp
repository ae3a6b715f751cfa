// The project model: items, layers, deletion, the active item, the viewer, playback, the demo
// project and the current project.
#include <gtest/gtest.h>

#include <cmath>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

TEST(ModelProject, ItemsKeepProjectOrder) {
    Project p;
    p.addFolder("F");
    Composition& c = p.addComposition("C", 640, 480, 24, 5);
    p.addFootage("Still.png", 10, 20);
    ASSERT_EQ(p.numItems(), 3u);
    EXPECT_EQ(p.itemAt(0)->type(), ItemType::Folder);
    EXPECT_EQ(p.itemAt(1), &c);
    EXPECT_EQ(p.itemAt(2)->sdkType(), AEGP_ItemType_FOOTAGE);
    EXPECT_EQ(p.itemAt(3), nullptr);
    EXPECT_EQ(p.indexOf(c.id()), 1);
    EXPECT_EQ(p.findComposition(p.itemAt(0)->id()), nullptr);
    EXPECT_EQ(c.currentTime, 0);
}

TEST(ModelProject, IdsAreNeverReused) {
    ObjectId a = 0;
    {
        Project p;
        a = p.addFolder("x").id();
    }
    Project q;
    EXPECT_NE(q.addFolder("x").id(), a);
    EXPECT_NE(q.id(), a);
}

TEST(ModelProject, LayersStackFromTheTop) {
    Project p;
    Composition& c = p.addComposition("C", 100, 100, 30, 1);
    Layer& bottom = c.addSolid("bottom", Value::Rgba(1, 0, 0), 10, 10);
    Layer& top = c.addNull("top");
    Layer& middle = c.addLayer(std::make_unique<Layer>(LayerType::Light, "middle"), 1);
    EXPECT_EQ(c.layerAt(0), &top);
    EXPECT_EQ(c.layerAt(1), &middle);
    EXPECT_EQ(c.layerAt(2), &bottom);
    Composition* owner = nullptr;
    EXPECT_EQ(p.findLayer(middle.id(), &owner), &middle);
    EXPECT_EQ(owner, &c);
}

TEST(ModelProject, DeleteLayerAndItem) {
    Project p;
    Composition& c = p.addComposition("C", 100, 100, 30, 1);
    const ObjectId cid = c.id();
    const ObjectId a = c.addNull("a").id();
    const ObjectId b = c.addNull("b").id();
    EXPECT_TRUE(p.deleteLayer(a));
    EXPECT_FALSE(p.deleteLayer(a));
    EXPECT_EQ(p.findLayer(a), nullptr);
    EXPECT_EQ(c.numLayers(), 1u);
    p.setActiveItem(cid);
    p.openInViewer(cid);
    EXPECT_TRUE(p.deleteItem(cid));
    EXPECT_FALSE(p.deleteItem(cid));
    EXPECT_EQ(p.findLayer(b), nullptr);  // its layers went with it
    EXPECT_EQ(p.activeItem(), nullptr);
    EXPECT_FALSE(p.isOpenInViewer(cid));
}

TEST(ModelProject, SelectItemMakesItActiveAndOpensCompositions) {
    Project p;
    Footage& f = p.addFootage("Still", 1, 1);
    Composition& c = p.addComposition("Comp", 100, 100, 30, 1);
    EXPECT_FALSE(p.selectItem("nothing"));
    EXPECT_EQ(p.activeItem(), nullptr);
    EXPECT_TRUE(p.selectItem("Still"));
    EXPECT_EQ(p.activeItem(), &f);
    EXPECT_FALSE(p.isOpenInViewer(f.id()));
    EXPECT_TRUE(p.selectItem("Comp"));
    EXPECT_EQ(p.activeItem(), &c);
    EXPECT_TRUE(p.isOpenInViewer(c.id()));
    EXPECT_FALSE(p.setActiveItem(123456789));
}

TEST(ModelProject, ViewerIsMostRecentlyUsedFirst) {
    Project p;
    Composition& a = p.addComposition("A", 1, 1, 30, 1);
    Composition& b = p.addComposition("B", 1, 1, 30, 1);
    EXPECT_TRUE(p.openInViewer(a.id()));
    EXPECT_TRUE(p.openInViewer(b.id()));
    EXPECT_EQ(p.viewerOrder(), (std::vector<ObjectId>{b.id(), a.id()}));
    p.openInViewer(a.id());
    EXPECT_EQ(p.viewerOrder(), (std::vector<ObjectId>{a.id(), b.id()}));
    p.closeViewer(a.id());
    EXPECT_FALSE(p.isOpenInViewer(a.id()));
    EXPECT_FALSE(p.openInViewer(p.addFolder("F").id()));
}

// ---- playback ---------------------------------------------------------------------------

class ModelPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        comp = &project.addComposition("Play", 100, 100, 30, 10);
        project.addFolder("Folder");
    }
    Project project;
    Composition* comp = nullptr;
};

TEST_F(ModelPlayback, NothingToPlayWithoutAnActiveComposition) {
    EXPECT_FALSE(project.togglePlayback(0));
    EXPECT_FALSE(project.playing());
    project.selectItem("Folder");
    EXPECT_FALSE(project.togglePlayback(0));
    EXPECT_FALSE(project.playing());
}

TEST_F(ModelPlayback, AdvancesInRealTimeAndStopsWhereItIs) {
    comp->currentTime = 2.0;
    project.setActiveItem(comp->id());
    EXPECT_TRUE(project.togglePlayback(100.0));
    EXPECT_TRUE(project.playing());
    EXPECT_EQ(project.playingComposition(), comp->id());
    EXPECT_TRUE(project.isOpenInViewer(comp->id()));  // playback opens the viewer
    bool previewing = false;
    EXPECT_EQ(project.viewTime(*comp, &previewing), 2.0);
    EXPECT_TRUE(previewing);

    project.advance(101.5);
    EXPECT_DOUBLE_EQ(project.viewTime(*comp, &previewing), 3.5);
    EXPECT_TRUE(previewing);
    EXPECT_EQ(comp->currentTime, 2.0);  // the current time waits for the stop

    EXPECT_FALSE(project.togglePlayback(102.25));
    EXPECT_FALSE(project.playing());
    EXPECT_DOUBLE_EQ(comp->currentTime, 4.25);
    EXPECT_DOUBLE_EQ(project.viewTime(*comp, &previewing), 4.25);
    EXPECT_FALSE(previewing);

    project.advance(200);  // stopped: nothing moves
    EXPECT_DOUBLE_EQ(comp->currentTime, 4.25);
}

TEST_F(ModelPlayback, LoopsAtTheEnd) {
    comp->currentTime = 9.0;
    project.setActiveItem(comp->id());
    project.togglePlayback(0);
    project.advance(1.5);
    EXPECT_NEAR(project.viewTime(*comp), 0.5, 1e-12);
    project.advance(23.0);  // 9 + 23 = 32 -> 2 (third time round)
    EXPECT_NEAR(project.viewTime(*comp), 2.0, 1e-12);
    project.togglePlayback(23.0);
    EXPECT_NEAR(comp->currentTime, 2.0, 1e-12);
}

TEST_F(ModelPlayback, StartsFromZeroWhenAtTheEnd) {
    comp->currentTime = 10.0;
    project.setActiveItem(comp->id());
    project.togglePlayback(0);
    project.advance(1);
    EXPECT_DOUBLE_EQ(project.viewTime(*comp), 1.0);
}

TEST_F(ModelPlayback, OtherCompositionsAreNotPreviewing) {
    Composition& other = project.addComposition("Other", 1, 1, 30, 1);
    other.currentTime = 0.5;
    project.setActiveItem(comp->id());
    project.togglePlayback(0);
    bool previewing = true;
    EXPECT_EQ(project.viewTime(other, &previewing), 0.5);
    EXPECT_FALSE(previewing);
}

TEST_F(ModelPlayback, DeletingThePlayingCompositionStops) {
    project.setActiveItem(comp->id());
    project.togglePlayback(0);
    EXPECT_TRUE(project.deleteItem(comp->id()));
    EXPECT_FALSE(project.playing());
    project.advance(5);  // harmless
}

// ---- the demo project, cameras ----------------------------------------------------------

TEST(ModelDemo, HasTheDescribedScene) {
    auto p = MakeDemoProject();
    Item* active = p->activeItem();
    ASSERT_NE(active, nullptr);
    Composition* c = active->asComposition();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name, "Demo");
    EXPECT_EQ(c->width, 1920);
    EXPECT_EQ(c->height, 1080);
    EXPECT_EQ(c->frameRate, 30);
    EXPECT_EQ(c->duration, 10);
    EXPECT_TRUE(p->isOpenInViewer(c->id()));
    int folders = 0, footage = 0, solids3d = 0, lights = 0;
    for (const auto& item : p->items()) {
        folders += item->type() == ItemType::Folder;
        footage += item->type() == ItemType::Footage;
    }
    EXPECT_GE(folders, 1);
    EXPECT_GE(footage, 1);
    ASSERT_GT(c->numLayers(), 0u);
    EXPECT_EQ(c->layerAt(0)->name, "Camera 1");
    EXPECT_EQ(c->layerAt(0)->type(), LayerType::Camera);
    EXPECT_TRUE(c->layerAt(0)->hasFlag(AEGP_LayerFlag_LOOK_AT_POI));
    bool floor = false;
    for (const auto& l : c->layers()) {
        if (l->type() == LayerType::Solid && l->hasFlag(AEGP_LayerFlag_LAYER_IS_3D)) ++solids3d;
        if (l->type() == LayerType::Light) ++lights;
        if (l->type() == LayerType::Solid && std::fabs(l->get(AEGP_LayerStream_ROTATE_X).x()) == 90 &&
            l->color.v[0] == l->color.v[1] && l->color.v[1] == l->color.v[2])
            floor = true;
    }
    EXPECT_GE(solids3d, 4);
    EXPECT_EQ(lights, 1);
    EXPECT_TRUE(floor) << "a grey solid rotated flat";
}

TEST(ModelCamera, DefaultZoomIsFiftyMillimetreLike) {
    EXPECT_NEAR(DefaultCameraZoom(1920), 2666.7, 0.5);
    Project p;
    Composition& c = p.addComposition("C", 1920, 1080, 30, 1);
    Layer& cam = c.addCamera("Cam", A_FloatPoint{960, 540});
    const double zoom = DefaultCameraZoom(1920);
    EXPECT_EQ(cam.get(AEGP_LayerStream_POSITION), Value::Three(960, 540, -zoom));
    EXPECT_EQ(cam.get(AEGP_LayerStream_ANCHORPOINT), Value::Three(960, 540, 0));
    EXPECT_EQ(cam.get(AEGP_LayerStream_ZOOM).x(), zoom);
    EXPECT_EQ(cam.get(AEGP_LayerStream_FOCUS_DISTANCE).x(), zoom);
    EXPECT_EQ(cam.get(AEGP_LayerStream_APERTURE).x(), 25.3);
    EXPECT_EQ(cam.get(AEGP_LayerStream_BLUR_LEVEL).x(), 100);
    EXPECT_EQ(cam.get(AEGP_LayerStream_DEPTH_OF_FIELD).x(), 0);
}

TEST(ModelCurrentProject, EmptyUntilSetAndReplaceable) {
    SetCurrentProject(nullptr);
    EXPECT_EQ(CurrentProject().numItems(), 0u);
    SetCurrentProject(MakeDemoProject());
    EXPECT_NE(CurrentProject().findItemByName("Demo"), nullptr);
    SetCurrentProject(nullptr);
    EXPECT_EQ(CurrentProject().numItems(), 0u);
}

}  // namespace
}  // namespace qlo::hostsim
