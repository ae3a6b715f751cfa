// The panel's own drawing, on the rendered pixels of the real panel: the header strip with its
// bottom line, the store badges' rounded outline at the controls' alpha and their cursor, and the
// phone rows' own background and selection between the table's gaps.
#include <cmath>

#include "panel/panel_drawing.h"
#include "panel/panel_fixture.h"
#include "panel/panel_style.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/scroll_view.h"

namespace ui = qlo::ui;

namespace {

// The grey of a rendered pixel, 0-255 (the red channel of an opaque grey).
double Grey(const ui::RenderedPixels& pixels, double x, double y) {
    return pixels.colorAt(static_cast<int>(x), static_cast<int>(y)).r * 255;
}

// White at `alpha` over a grey background, both 0-1.
double Over(double background, double alpha) { return background * (1 - alpha) + alpha; }

}  // namespace

TEST(PanelDrawing, HeaderStripHasItsLineAtTheBottomAndBadgesAreRoundedOutlines) {
    StandalonePanel p(320, 400);
    const ui::RenderedPixels pixels = ui::RenderWindowToARGB(*p.window);
    ASSERT_EQ(pixels.width, 320);
    // The header is drawn unflipped: its 1-point line (y 0) is its lowest row.
    for (double y : {0.0, 10.0, 20.0}) EXPECT_NEAR(Grey(pixels, 300, y), kQLOHeaderWhite * 255, 1) << y;
    EXPECT_NEAR(Grey(pixels, 300, 21), kQLOLineWhite * 255, 1);
    EXPECT_NEAR(Grey(pixels, 300, 22), kQLORootWhite * 255, 1) << "below the header";

    // A badge: its 6% fill, its left edge half fill under the 18% stroke, all at alpha 0.55 over
    // the list area; its rounded corner leaves the list area's grey.
    const ui::Rect badge = StandalonePanel::at(*p.controller->appStoreBtn);
    const double back = kQLOLineWhite;
    const double mid = badge.y + badge.height / 2;
    EXPECT_NEAR(Grey(pixels, badge.x + 3, mid), (back + 0.55 * (Over(back, 0.06) - back)) * 255, 1.5);
    EXPECT_NEAR(Grey(pixels, badge.x, mid), (back + 0.55 * (Over(Over(back, 0.03), 0.18) - back)) * 255, 1.5);
    EXPECT_NEAR(Grey(pixels, badge.x, badge.y), back * 255, 1);
    // Their symbols are tinted as their titles are.
    for (const auto* store : {p.controller->appStoreBtn.get(), p.controller->playStoreBtn.get()}) {
        ASSERT_NE(store->image(), nullptr);
        EXPECT_EQ(store->contentTintColor(), ui::Color::calibratedWhite(kQLOBrightWhite));
    }
}

TEST(PanelDrawing, TheBadgesShowAPointingHandWhileTheEmptyStateShows) {
    StandalonePanel p(320, 400);
    const ui::Rect badge = StandalonePanel::at(*p.controller->playStoreBtn);
    EXPECT_EQ(p.window->cursorAt({badge.x + 2, badge.y + 2}), ui::Cursor::PointingHand);
    EXPECT_EQ(p.window->cursorAt({badge.x - 2, badge.y + 2}), ui::Cursor::Arrow);
    EXPECT_EQ(p.window->cursorAt({badge.x + 2, badge.maxY() + 2}), ui::Cursor::Arrow);
    p.controller->emptyStack->setHidden(true);
    EXPECT_EQ(p.window->cursorAt({badge.x + 2, badge.y + 2}), ui::Cursor::Arrow);
}

TEST_F(PanelTest, RowsDrawTheirOwnBackgroundAndSelectionBetweenDarkGaps) {
    connect("127.0.0.2", "?deviceName=A", "A", 1);
    connect("127.0.0.3", "?deviceName=B", "B", 2);
    panel->refreshClients();
    panel->table->clickRow(1);
    panel->root->layoutSubtreeIfNeeded();
    const ui::RenderedPixels pixels = ui::RenderViewToARGB(*panel->tableScroll);
    ASSERT_GT(pixels.width, 60);
    ASSERT_GT(pixels.height, 60);
    const double x = pixels.width - 3;  // right of the name label
    EXPECT_NEAR(Grey(pixels, x, 12), kQLORowWhite * 255, 1);
    EXPECT_NEAR(Grey(pixels, x, 24), kQLOLineWhite * 255, 1) << "the gap between the rows";
    EXPECT_NEAR(Grey(pixels, x, 37), kQLOSelectedRowWhite * 255, 1) << "selected";
    EXPECT_NEAR(Grey(pixels, x, 60), kQLOLineWhite * 255, 1) << "below the rows";
}
