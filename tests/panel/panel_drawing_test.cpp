// The panel's own drawing, on the rendered pixels of the real panel: the header strip with its
// bottom line, the store badges' outline, tint and cursor, and the phone rows' own background and
// selection between the table's gaps.
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

}  // namespace

TEST(PanelDrawing, HeaderStripHasItsLineAtTheBottomAndBadgesAreOutlinedTintedAndPointedAt) {
    StandalonePanel p(320, 400);
    const ui::RenderedPixels pixels = ui::RenderWindowToARGB(*p.window);
    ASSERT_EQ(pixels.width, 320);
    // The header is drawn unflipped: its 1-point line (y 0) is its lowest row.
    EXPECT_NEAR(Grey(pixels, 300, 0), kQLOHeaderWhite * 255, 1);
    EXPECT_NEAR(Grey(pixels, 300, 21), kQLOLineWhite * 255, 1);
    // A badge: its outline stands out of the list area's grey.
    const ui::Rect badge = StandalonePanel::at(*p.controller->appStoreBtn);
    EXPECT_GT(Grey(pixels, badge.x, badge.y + badge.height / 2), kQLOLineWhite * 255 + 2);
    ASSERT_NE(p.controller->appStoreBtn->image(), nullptr);
    EXPECT_EQ(p.controller->appStoreBtn->contentTintColor(), ui::Color::calibratedWhite(kQLOBrightWhite));
    // The badges show a pointing hand while the empty state shows.
    EXPECT_EQ(p.window->cursorAt({badge.x + 2, badge.y + 2}), ui::Cursor::PointingHand);
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
    ASSERT_GT(std::min(pixels.width, pixels.height), 40);
    const double x = pixels.width - 3;  // right of the name label
    EXPECT_NEAR(Grey(pixels, x, 12), kQLORowWhite * 255, 1);
    EXPECT_NEAR(Grey(pixels, x, 24), kQLOLineWhite * 255, 1) << "the gap between the rows";
    EXPECT_NEAR(Grey(pixels, x, 37), kQLOSelectedRowWhite * 255, 1) << "selected";
}
