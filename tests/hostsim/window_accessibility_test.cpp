// The host's main window as an assistive tool sees it: the viewer's layout control and camera
// pop-ups driven through the accessibility API only, the docked panel's container, and the
// screenshot of viewer and panel.
#include <cairo.h>
#include <unistd.h>

#include <cmath>
#include <deque>
#include <filesystem>

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

ui::Rect Frame(const ax::Element& e) {
    ax::Value position, size;
    ui::Rect r{NAN, NAN, 0, 0};
    using ax::AXUIElementCopyAttributeValue;
    if (AXUIElementCopyAttributeValue(e, ax::kAXPositionAttribute, &position) == ax::kAXErrorSuccess &&
        AXUIElementCopyAttributeValue(e, ax::kAXSizeAttribute, &size) == ax::kAXErrorSuccess) {
        r = {position.point()->x, position.point()->y, size.size()->width, size.size()->height};
    }
    return r;
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
        return Frame(a).x < Frame(b).x;
    });
    return found;
}

ax::Element FindTitled(const std::string& role, const std::string& title) {
    for (const ax::Element& e : FindAll(role)) {
        if (Text(e, ax::kAXTitleAttribute) == title) return e;
    }
    return nullptr;
}

// A decoded PNG.
struct Png {
    explicit Png(const std::string& path)
        : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Png() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    uint32_t at(int x, int y) const {
        const unsigned char* data = cairo_image_surface_get_data(surface);
        return reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x];
    }
    // The mean difference (0..255) of the colour channels of two equally sized regions.
    double meanDifference(const ui::Rect& a, const ui::Rect& b) const {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < a.height; y += 2) {
            for (int x = 0; x < a.width; x += 2, n += 3) {
                const uint32_t p = at(a.x + x, a.y + y), q = at(b.x + x, b.y + y);
                for (int s : {0, 8, 16}) sum += std::abs(int((p >> s) & 255) - int((q >> s) & 255));
            }
        }
        return n == 0 ? 0 : sum / n;
    }
    cairo_surface_t* surface;
};

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

class HostWindowAX : public ScriptFixture {
protected:
    std::string CameraOf(size_t pane) {
        return Viewer::CameraName(demo->id(), app.viewerState().panes.at(pane));
    }
};

TEST_F(HostWindowAX, TheSplitViewIsSetUpByPressingElementsOnly) {
    const ax::Element two = FindTitled(ax::kAXRadioButtonRole, "2 Views");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(Text(two, ax::kAXDescriptionAttribute), "2 Views layout");
    ASSERT_EQ(ax::AXUIElementPerformAction(two, ax::kAXPressAction), ax::kAXErrorSuccess);
    EXPECT_EQ(app.viewerState().layout, ViewLayout::TwoViewsHorizontal);

    std::vector<ax::Element> popUps = FindAll(ax::kAXPopUpButtonRole);
    ASSERT_EQ(popUps.size(), 2u);
    EXPECT_LT(Frame(popUps[0]).x, Frame(popUps[1]).x);
    EXPECT_EQ(Text(popUps[1], ax::kAXValueAttribute), "Active Camera");

    ASSERT_EQ(ax::AXUIElementPerformAction(popUps[1], ax::kAXPressAction), ax::kAXErrorSuccess);
    const ax::Element item = FindTitled(ax::kAXMenuItemRole, "Camera 1");
    ASSERT_NE(item, nullptr) << "the open menu lists the composition's cameras";
    ASSERT_EQ(ax::AXUIElementPerformAction(item, ax::kAXPressAction), ax::kAXErrorSuccess);
    EXPECT_EQ(CameraOf(1), "Camera 1");
    EXPECT_EQ(CameraOf(0), "Active Camera");
    EXPECT_EQ(app.viewerState().activePane, 1);
    EXPECT_TRUE(FindAll(ax::kAXMenuItemRole).empty()) << "the menu closed";

    // Choosing a camera keeps the controls: the same pop-up now shows the camera. A layout
    // change builds new panes, and the old pop-ups go stale.
    EXPECT_EQ(Text(popUps[1], ax::kAXValueAttribute), "Camera 1");
    const ax::Element four = FindTitled(ax::kAXRadioButtonRole, "4 Views");
    ASSERT_EQ(ax::AXUIElementPerformAction(four, ax::kAXPressAction), ax::kAXErrorSuccess);
    ax::Value v;
    EXPECT_EQ(ax::AXUIElementCopyAttributeValue(popUps[1], ax::kAXValueAttribute, &v),
              ax::kAXErrorInvalidUIElement);
    EXPECT_EQ(FindAll(ax::kAXPopUpButtonRole).size(), 4u);
}

// The docked panel lives in the main window next to the viewer; a screenshot shows it and each
// pane through its camera.
TEST_F(HostWindowAX, TheDockedPanelAndTheViewerInTheWindowAndItsScreenshot) {
    OnCreatePanel("Quillo", &CreatePanel);
    ASSERT_EQ(app.togglePanel("Quillo"), A_Err_NONE);
    ui::View* container = ui::ViewFromHandle(g_container);
    ASSERT_NE(container, nullptr);
    ui::Window& window = *app.mainWindow().window();
    EXPECT_EQ(container->window(), &window);
    EXPECT_EQ(window.title(), "quillo-host \u2014 Untitled Project");
    EXPECT_EQ(container->frameInWindow(), (ui::Rect{960, 24, 320, 696}));
    const ax::Element hello = FindTitled(ax::kAXButtonRole, "Hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(Frame(hello), (ui::Rect{970, 59, 120, 40})) << "in screen coordinates";

    // Both panes through the same camera look the same; through different cameras they differ.
    ASSERT_EQ(app.setViewerLayout(ViewLayout::TwoViewsHorizontal), A_Err_NONE);
    const std::string path = ::testing::TempDir() + "/screenshot" + std::to_string(getpid()) + ".png";
    // The picture has the title bar above the window's content.
    const ui::Rect origin = window.frame();
    const auto paneDifference = [&](const Png& png) {
        std::vector<ui::Rect> panes;
        for (const ax::Element& e : FindAll(ax::kAXImageRole)) {
            panes.push_back(Frame(e).offsetBy(-origin.x, -origin.y + ui::kTitleBarHeight));
        }
        EXPECT_EQ(panes.size(), 2u);
        return panes.size() == 2 ? png.meanDifference(panes[0], panes[1]) : -1;
    };
    std::string error;
    ASSERT_TRUE(app.mainWindow().screenshot(path, &error)) << error;
    {
        Png png(path);
        ASSERT_TRUE(png.ok());
        EXPECT_EQ(png.width(), 1280);
        EXPECT_LT(paneDifference(png), 1.0);
        const uint32_t red = png.at(960 + 70, static_cast<int>(ui::kTitleBarHeight) + 24 + 80);
        EXPECT_EQ(red & 0xffffff, 0xff0000u) << "the panel's views are in the picture";
    }
    ASSERT_TRUE(app.viewer().choosePaneCamera(demo->id(), 1, "Top"));
    ASSERT_TRUE(app.mainWindow().screenshot(path, &error)) << error;
    EXPECT_GT(paneDifference(Png(path)), 10.0);
    std::filesystem::remove(path);
    EXPECT_FALSE(app.mainWindow().screenshot("/nonexistent-dir/x.png", &error));
    EXPECT_FALSE(error.empty());

    ASSERT_TRUE(app.bringTabToFront("Info"));
    EXPECT_TRUE(container->isHidden());
    EXPECT_EQ(FindTitled(ax::kAXButtonRole, "Hello"), nullptr) << "a panel behind another tab";
    ASSERT_TRUE(app.bringTabToFront("Quillo"));
    app.mainWindow().setFrame({0, 0, 1000, 600});
    EXPECT_EQ(container->frameInWindow(), (ui::Rect{680, 24, 320, 576})) << "resized with the window";
    // The pane's pop-up sits 8 above the pane's bottom, the window's bottom edge.
    EXPECT_EQ(Frame(FindAll(ax::kAXPopUpButtonRole).at(0)).y, 600 - 8 - 24)
        << "the viewer's panes follow the window's height";
    ASSERT_EQ(panels->AEGP_UnRegisterCreatePanelHook(U8("Quillo")), A_Err_NONE);
    EXPECT_EQ(ui::ViewFromHandle(g_container), nullptr) << "the handle of a destroyed panel is stale";
}

}  // namespace
