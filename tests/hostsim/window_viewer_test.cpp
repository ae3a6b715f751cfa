// The viewer: the View menu's layouts, cameras kept across layout changes, the window's layout
// control and camera pop-ups, deleted cameras, and the console's `viewer`.
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
namespace ui = qlo::ui;

class ViewerWindow : public ScriptFixture {
protected:
    std::string CameraOf(size_t pane) {
        return Viewer::CameraName(demo->id(), app.viewerState().panes.at(pane));
    }
    template <class T>
    T* Find(const std::string& identifier) {
        return dynamic_cast<T*>(app.viewer().window()->contentView().findByIdentifier(identifier));
    }
};

TEST_F(ViewerWindow, TheViewMenuSetsTheLayout) {
    struct Case {
        const char* item;
        ViewLayout layout;
        size_t views;
        const char* checked;
    };
    const Case cases[] = {
        {"4 Views", ViewLayout::FourViews, 4, "4 Views"},
        {"2 Views Vertical", ViewLayout::TwoViewsVertical, 2, "2 Views Vertical"},
        {"2 Views", ViewLayout::TwoViewsHorizontal, 2, "2 Views Horizontal"},
        {"1 View", ViewLayout::OneView, 1, "1 View"},
        {"2 Views Horizontal", ViewLayout::TwoViewsHorizontal, 2, "2 Views Horizontal"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(app.chooseMenuCommand(c.item), MenuChoice::Handled) << c.item;
        EXPECT_EQ(std::pair(app.viewerState().layout, app.viewerState().panes.size()),
                  std::pair(c.layout, c.views)) << c.item;
        app.updateMenus();
        for (const char* other : {"1 View", "2 Views Horizontal", "2 Views", "2 Views Vertical", "4 Views"}) {
            EXPECT_EQ(app.checkMark(other), std::string(other) == c.checked) << c.item << " / " << other;
        }
    }
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

// Pressing the controls is the accessibility test's part; here, what only the window shows.
TEST_F(ViewerWindow, TheWindowNamesTheCompositionAndStacksVerticalViews) {
    std::shared_ptr<ui::Window> window = app.viewer().window();
    ASSERT_EQ(window, app.mainWindow().window()) << "the viewer is part of the main window";
    ASSERT_NE(Find<ui::TextField>("viewer.title"), nullptr);
    EXPECT_EQ(Find<ui::TextField>("viewer.title")->stringValue(), "Composition: Demo");
    app.setViewerLayout(ViewLayout::TwoViewsVertical);
    auto* top = Find<ui::PopUpButton>("viewer.pane.1.camera");
    auto* bottom = Find<ui::PopUpButton>("viewer.pane.2.camera");
    ASSERT_TRUE(top != nullptr && bottom != nullptr && Find<ui::Button>("viewer.layout.2 Views") != nullptr);
    EXPECT_TRUE(Find<ui::Button>("viewer.layout.2 Views")->isOn()) << "either two-view layout";
    EXPECT_LT(window->screenFrameOf(*top).y, window->screenFrameOf(*bottom).y) << "stacked";
}

TEST_F(ViewerWindow, TheConsoleListsTheViews) {
    app.setViewerLayout(ViewLayout::TwoViewsHorizontal);
    app.viewer().choosePaneCamera(demo->id(), 1, "Camera 1");
    EXPECT_EQ(ConsoleProbe(app)("viewer\n"),
              "[host] viewer: Demo, layout 2 Views Horizontal, active view 2\n"
              "[host]   view 1: Active Camera\n"
              "[host]   view 2: Camera 1 [active]\n");
}

}  // namespace
