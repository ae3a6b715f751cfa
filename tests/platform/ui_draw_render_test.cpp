// Rendering view trees: flipped and unflipped coordinates, layer backgrounds, alpha, rounded
// outlines, hidden views. Checked on the rendered pixels.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/ui/button.h"
#include "platform/ui/graphics.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;

// The grey of a rendered pixel, 0-255 (the red channel of an opaque grey).
int Grey(const RenderedPixels& pixels, int x, int y) {
    return static_cast<int>(std::lround(pixels.colorAt(x, y).r * 255));
}

// A strip that fills itself and draws a 1-point line along its bottom edge, in unflipped
// coordinates (y = 0 is the bottom).
class StripView : public View {
public:
    StripView() { setFlipped(false); }
    void drawRect(GraphicsContext& context, const Rect&) override {
        context.fillRect(context.bounds(), Color::calibratedWhite(0.13));
        context.fillRect({0, 0, frame().width, 1}, Color::calibratedWhite(0.10));
    }
};

// An outlined rounded badge under the button's own title.
class BadgeButton : public Button {
public:
    BadgeButton() : Button("") { setBordered(false); }
    void drawRect(GraphicsContext& context, const Rect& dirty) override {
        const Rect r{0.5, 0.5, frame().width - 1, frame().height - 1};
        context.fillRoundedRect(r, 6, 6, Color::calibratedWhite(1.0, 0.06));
        context.strokeRoundedRect(r, 6, 6, Color::calibratedWhite(1.0, 0.18), 1.0);
        Button::drawRect(context, dirty);
    }
};

std::shared_ptr<View> Backdrop(Rect frame, Color color) {
    auto view = std::make_shared<View>(frame);
    view->setWantsLayer(true);
    view->setLayerBackgroundColor(color);
    return view;
}

TEST(UiDrawRender, UnflippedViewsPlaceFramesAndDrawingFromTheBottom) {
    auto root = Backdrop({0, 0, 100, 60}, Color::calibratedWhite(1));
    auto area = std::make_shared<View>(Rect{0, 0, 100, 60});
    area->setFlipped(false);
    auto strip = std::make_shared<StripView>();
    strip->setFrame({0, 38, 100, 22});  // 38 up from the bottom: the top 22 rows
    area->addSubview(strip);
    root->addSubview(area);

    EXPECT_EQ(strip->frameInWindow(), (Rect{0, 0, 100, 22}));
    const RenderedPixels pixels = RenderViewToARGB(*root);
    ASSERT_EQ(pixels.width, 100);
    ASSERT_EQ(pixels.height, 60);
    for (int y = 0; y < 21; ++y) EXPECT_EQ(Grey(pixels, 50, y), 33) << "row " << y;
    EXPECT_NEAR(Grey(pixels, 0, 21), 0.10 * 255, 1);
    EXPECT_NEAR(Grey(pixels, 99, 21), 0.10 * 255, 1);
    EXPECT_EQ(Grey(pixels, 50, 22), 255) << "below the strip";
}

TEST(UiDrawRender, BadgeOutlineAndFillAtTheControlsAlpha) {
    auto root = Backdrop({0, 0, 120, 34}, Color::calibratedWhite(0));
    auto badge = std::make_shared<BadgeButton>();
    badge->setFrame({0, 0, 120, 34});
    root->addSubview(badge);

    RenderedPixels pixels = RenderViewToARGB(*root);
    // Inside: the 0.06 fill over black. Left edge: half the fill, then the 0.18 stroke over it.
    EXPECT_NEAR(Grey(pixels, 10, 17), 0.06 * 255, 1.5);
    EXPECT_NEAR(Grey(pixels, 0, 17), (0.18 + 0.03 * 0.82) * 255, 1.5);
    // Corners are rounded: the corner pixel stays black.
    EXPECT_EQ(Grey(pixels, 0, 0), 0);

    badge->setAlphaValue(0.55);
    pixels = RenderViewToARGB(*root);
    EXPECT_NEAR(Grey(pixels, 10, 17), 0.06 * 0.55 * 255, 1.5);
    EXPECT_NEAR(Grey(pixels, 0, 17), (0.18 + 0.03 * 0.82) * 0.55 * 255, 1.5);
}

TEST(UiDrawRender, HiddenViewsAndTheirSubviewsAreNotDrawnAndLayersOnlyWhenWanted) {
    auto root = Backdrop({0, 0, 40, 20}, Color::calibratedWhite(1));
    auto hidden = Backdrop({0, 0, 20, 20}, Color::rgb(1, 0, 0));
    hidden->addSubview(Backdrop({0, 0, 10, 10}, Color::rgb(0, 1, 0)));
    hidden->setHidden(true);
    auto noLayer = Backdrop({20, 0, 20, 20}, Color::rgb(0, 0, 1));
    noLayer->setWantsLayer(false);
    root->addSubview(hidden);
    root->addSubview(noLayer);

    const RenderedPixels pixels = RenderViewToARGB(*root);
    EXPECT_EQ(pixels.colorAt(5, 5), Color::calibratedWhite(1));
    EXPECT_EQ(pixels.colorAt(30, 10), Color::calibratedWhite(1));
}

TEST(UiDrawRender, SubviewsAreClippedToTheirSuperview) {
    auto root = Backdrop({0, 0, 40, 40}, Color::calibratedWhite(1));
    auto box = std::make_shared<View>(Rect{0, 0, 20, 20});
    box->addSubview(Backdrop({10, 10, 30, 30}, Color::rgb(0, 0, 0)));
    root->addSubview(box);
    const RenderedPixels pixels = RenderViewToARGB(*root);
    EXPECT_EQ(Grey(pixels, 15, 15), 0);
    EXPECT_EQ(Grey(pixels, 25, 25), 255);
}

TEST(UiDrawRender, WindowsRenderToPngFilesAtTheirSize) {
    Window window("Viewer", {50, 50, 64, 48});
    window.contentView().addSubview(Backdrop({0, 0, 64, 48}, Color::rgb(0, 0.5, 1)));
    const std::string path = ::testing::TempDir() + "ui_draw_window.png";
    std::string error;
    ASSERT_TRUE(RenderWindowToPNG(window, path, &error, true)) << error;
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 64);
    EXPECT_EQ(cairo_image_surface_get_height(png), 48 + static_cast<int>(kTitleBarHeight));
    cairo_surface_destroy(png);
    std::remove(path.c_str());

    EXPECT_FALSE(RenderWindowToPNG(window, "/nonexistent-dir/x.png", &error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
    window.setFrame({0, 0, 0, 10});
    EXPECT_TRUE(RenderWindowToARGB(window).empty());
}

}  // namespace
