// The project model: layers, deletion, the active item and the viewer, and playback.
#include <gtest/gtest.h>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

// Ids are never reused: the stale-handle tests replace the project and find the old handles refused.
TEST(ModelProject, LayersStackFromTheTopAndGoWithTheirComposition) {
    Project p;
    Composition& c = p.addComposition("C", 100, 100, 30, 1);
    Layer& bottom = c.addSolid("bottom", Value::Rgba(1, 0, 0), 10, 10);
    Layer& top = c.addNull("top");
    EXPECT_EQ(std::pair(c.layerAt(0), c.layerAt(1)), std::pair(&top, &bottom));
    Composition* owner = nullptr;
    EXPECT_EQ(p.findLayer(bottom.id(), &owner), &bottom);
    EXPECT_EQ(owner, &c);

    const ObjectId cid = c.id(), topId = top.id(), bottomId = bottom.id();
    EXPECT_TRUE(p.deleteLayer(topId));
    EXPECT_EQ(std::pair(p.findLayer(topId), c.numLayers()), (std::pair<Layer*, size_t>(nullptr, 1)));
    p.setActiveItem(cid);
    EXPECT_TRUE(p.deleteItem(cid));
    EXPECT_EQ(std::tuple(p.findLayer(bottomId), p.activeItem(), p.isOpenInViewer(cid)),
              std::tuple(nullptr, nullptr, false));
}

// Playback advances in real time from the current time, which waits for the stop, and it stops
// when its composition is deleted.
TEST(ModelProject, PlaybackAdvancesLoopsAndStopsWhereItIs) {
    Project project;
    Composition* comp = &project.addComposition("Play", 100, 100, 30, 10);
    project.addFolder("Folder");
    project.selectItem("Folder");
    EXPECT_FALSE(project.togglePlayback(0)) << "not a composition";
    EXPECT_FALSE(project.playing());

    Composition& other = project.addComposition("Other", 1, 1, 30, 1);
    other.currentTime = 0.5;
    comp->currentTime = 2.0;
    project.setActiveItem(comp->id());
    EXPECT_TRUE(project.togglePlayback(100.0));
    EXPECT_EQ(project.playingComposition(), comp->id());
    EXPECT_TRUE(project.isOpenInViewer(comp->id()));  // playback opens the viewer
    project.advance(101.5);
    bool previewing = false;
    EXPECT_DOUBLE_EQ(project.viewTime(*comp, &previewing), 3.5);
    EXPECT_TRUE(previewing);
    EXPECT_EQ(comp->currentTime, 2.0);
    EXPECT_EQ(project.viewTime(other), 0.5);
    EXPECT_FALSE(project.togglePlayback(102.25));
    EXPECT_DOUBLE_EQ(comp->currentTime, 4.25);
    project.advance(200);  // stopped: nothing moves
    EXPECT_DOUBLE_EQ(comp->currentTime, 4.25);

    project.togglePlayback(300);
    EXPECT_TRUE(project.deleteItem(comp->id()));
    EXPECT_FALSE(project.playing()) << "deleting the playing composition stops";
    project.advance(35);  // harmless
}

}  // namespace
}  // namespace qlo::hostsim
