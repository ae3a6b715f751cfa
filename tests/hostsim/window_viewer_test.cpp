// The viewer: the View menu's layouts, cameras kept across layout changes, deleted cameras.
#include "script_fixture.h"

namespace {

using namespace scripttest;

using ViewerWindow = ScriptFixture;

TEST_F(ViewerWindow, TheViewMenuSetsTheLayout) {
    struct Case {
        const char* item;
        ViewLayout layout;
        size_t views;
        const char* checked;
    };
    const Case cases[] = {
        {"4 Views", ViewLayout::FourViews, 4, "4 Views"},
        {"2 Views", ViewLayout::TwoViewsHorizontal, 2, "2 Views Horizontal"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(app.chooseMenuCommand(c.item), MenuChoice::Handled) << c.item;
        EXPECT_EQ(std::pair(app.viewerState().layout, app.viewerState().panes.size()),
                  std::pair(c.layout, c.views)) << c.item;
        app.updateMenus();
        EXPECT_EQ(app.checkMark(c.checked), true) << c.item;
    }
    EXPECT_EQ(app.checkMark("2 Views"), false) << "one check mark, on the first item naming it";
    CurrentProject().closeViewer(demo->id());
    app.updateMenus();
    EXPECT_EQ(app.chooseMenuCommand("4 Views"), MenuChoice::Disabled);
    EXPECT_EQ(app.doCommand(kHostCmdViewFour), A_Err_GENERIC) << "no composition is open";
}

TEST_F(ViewerWindow, LayoutChangesKeepTheCamerasOfTheRemainingViews) {
    Layer& phone = AddCamera("Phone");
    ASSERT_TRUE(app.viewer().setPaneCamera(demo->id(), 0, phone.id()));
    EXPECT_FALSE(app.viewer().setPaneCamera(demo->id(), 0, demo->layerAt(1)->id())) << "not a camera";
    EXPECT_FALSE(app.viewer().setPaneCamera(demo->id(), 1, phone.id())) << "no second view yet";

    ASSERT_EQ(app.setViewerLayout(ViewLayout::FourViews), A_Err_NONE);
    EXPECT_EQ(std::tuple(CameraOf(0), CameraOf(1), CameraOf(2), CameraOf(3)),
              std::tuple("Phone", "Front", "Right", "Active Camera"));
    ASSERT_TRUE(app.viewer().setActivePane(demo->id(), 3));

    ASSERT_EQ(app.setViewerLayout(ViewLayout::TwoViewsVertical), A_Err_NONE);
    EXPECT_EQ(CameraOf(1), "Front");
    EXPECT_EQ(app.viewerState().activePane, 1) << "the active view stays within the layout";

    // A deleted camera leaves its view on the active camera.
    ASSERT_TRUE(CurrentProject().deleteLayer(phone.id()));
    EXPECT_EQ(CameraOf(0), "Active Camera");
    EXPECT_EQ(Eval("app.project.activeItem.openInViewer().views[0].activeCamera"), "null");
}

}  // namespace
