// The host's main window as an assistive tool sees it: the viewer's layout control and camera
// pop-ups driven through the accessibility API only, the docked panel's container, and the
// screenshot of viewer and panel.
#include <cairo.h>
#include <unistd.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <utility>

#include "hostsim/app/main_window.h"
#include "platform/ax/ax.h"
#include "platform/ui/button.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/window.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
namespace ax = qlo::ax;
namespace ui = qlo::ui;

std::string Text(const ax::Element& e, const char* attribute) {
    ax::Value v;
    const bool read = ax::AXUIElementCopyAttributeValue(e, attribute, &v) == ax::kAXErrorSuccess;
    return read && v.text() ? *v.text() : "";
}

// Where an element's top left corner is on the screen.
std::pair<double, double> Position(const ax::Element& e) {
    ax::Value v;
    if (ax::AXUIElementCopyAttributeValue(e, ax::kAXPositionAttribute, &v) != ax::kAXErrorSuccess) {
        return {NAN, NAN};
    }
    return {v.point()->x, v.point()->y};
}

// Every element of a role, breadth first from the application, sorted left to right.
std::vector<ax::Element> FindAll(const std::string& role) {
    std::vector<ax::Element> found;
    std::deque<ax::Element> queue{ax::AXUIElementCreateApplication(getpid())};
    for (int examined = 0; !queue.empty() && examined < 6000; ++examined) {
        ax::Element e = queue.front();
        queue.pop_front();
        if (Text(e, ax::kAXRoleAttribute) == role) found.push_back(e);
        ax::Value children;
        if (ax::AXUIElementCopyAttributeValue(e, ax::kAXChildrenAttribute, &children) ==
            ax::kAXErrorSuccess) {
            queue.insert(queue.end(), children.elements()->begin(), children.elements()->end());
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const ax::Element& a, const ax::Element& b) {
        return Position(a).first < Position(b).first;
    });
    return found;
}

ax::Element FindTitled(const std::string& role, const std::string& title) {
    for (const ax::Element& e : FindAll(role)) {
        if (Text(e, ax::kAXTitleAttribute) == title) return e;
    }
    return nullptr;
}

// A panel whose create hook puts a button and a red box into the container it receives.
AEGP_PlatformViewRef g_container = nullptr;
A_Err CreatePanel(AEGP_GlobalRefcon, AEGP_CreatePanelRefcon, AEGP_PlatformViewRef container,
                  AEGP_PanelH, AEGP_PanelFunctions1*, AEGP_PanelRefcon*) {
    g_container = container;
    ui::View* view = ui::ViewFromHandle(container);
    if (view == nullptr) return A_Err_PARAMETER;
    const ui::Rect at{10, 10, 120, 40};
    view->addSubview(std::make_shared<ui::Button>("Hello", "", ui::ButtonType::Push, at));
    auto box = std::make_shared<ui::View>(ui::Rect{10, 60, 120, 40});
    box->setWantsLayer(true);
    box->setLayerBackgroundColor(ui::Color::rgb(1, 0, 0));
    view->addSubview(box);
    return A_Err_NONE;
}

using HostWindowAX = ScriptFixture;

TEST_F(HostWindowAX, TheSplitViewIsSetUpByPressingElementsOnly) {
    const ax::Element two = FindTitled(ax::kAXRadioButtonRole, "2 Views");
    ASSERT_NE(two, nullptr);
    ASSERT_EQ(ax::AXUIElementPerformAction(two, ax::kAXPressAction), ax::kAXErrorSuccess);
    EXPECT_EQ(app.viewerState().layout, ViewLayout::TwoViewsHorizontal);

    std::vector<ax::Element> popUps = FindAll(ax::kAXPopUpButtonRole);
    ASSERT_EQ(popUps.size(), 2u);
    EXPECT_EQ(Text(popUps[1], ax::kAXValueAttribute), "Active Camera");

    ASSERT_EQ(ax::AXUIElementPerformAction(popUps[1], ax::kAXPressAction), ax::kAXErrorSuccess);
    const ax::Element item = FindTitled(ax::kAXMenuItemRole, "Camera 1");
    ASSERT_NE(item, nullptr) << "the open menu lists the composition's cameras";
    ASSERT_EQ(ax::AXUIElementPerformAction(item, ax::kAXPressAction), ax::kAXErrorSuccess);
    EXPECT_EQ(CameraOf(1), "Camera 1");
    EXPECT_EQ(CameraOf(0), "Active Camera");
    EXPECT_EQ(app.viewerState().activePane, 1);
    EXPECT_TRUE(FindAll(ax::kAXMenuItemRole).empty()) << "the menu closed";

    // Choosing a camera keeps the controls: the same pop-up now shows the camera.
    EXPECT_EQ(Text(popUps[1], ax::kAXValueAttribute), "Camera 1");
}

// The docked panel lives in the main window next to the viewer, and a screenshot shows it.
TEST_F(HostWindowAX, TheDockedPanelAndTheViewerInTheWindowAndItsScreenshot) {
    OnCreatePanel("Quillo", &CreatePanel);
    ASSERT_EQ(app.togglePanel("Quillo"), A_Err_NONE);
    ui::View* container = ui::ViewFromHandle(g_container);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->window(), app.mainWindow().window().get());
    const ax::Element hello = FindTitled(ax::kAXButtonRole, "Hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(Position(hello), std::pair(970.0, 59.0)) << "in screen coordinates";

    // The screenshot holds the window's content below its title bar, the panel's views too.
    const std::string path = ::testing::TempDir() + "/screenshot" + std::to_string(getpid()) + ".png";
    std::string error;
    ASSERT_TRUE(app.mainWindow().screenshot(path, &error)) << error;
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_image_surface_get_width(png), 1280);  // 0 for a file that is not a PNG
    if (cairo_image_surface_get_width(png) == 1280) {
        const int y = static_cast<int>(ui::kTitleBarHeight) + 24 + 80;
        const unsigned char* row =
            cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png);
        EXPECT_EQ(reinterpret_cast<const uint32_t*>(row)[960 + 70] & 0xffffff, 0xff0000u) << "the red box";
    }
    cairo_surface_destroy(png);
    std::filesystem::remove(path);

    ASSERT_TRUE(app.bringTabToFront("Info"));
    EXPECT_TRUE(container->isHidden());
    EXPECT_EQ(FindTitled(ax::kAXButtonRole, "Hello"), nullptr) << "a panel behind another tab";
    ASSERT_EQ(panels->AEGP_UnRegisterCreatePanelHook(U8("Quillo")), A_Err_NONE);
    EXPECT_EQ(ui::ViewFromHandle(g_container), nullptr) << "the handle of a destroyed panel is stale";
}

}  // namespace
