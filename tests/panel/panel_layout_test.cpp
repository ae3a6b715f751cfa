// The panel's view tree laid out at different panel sizes, with no server running (empty state).
#include "panel/panel_drawing.h"
#include "panel/panel_fixture.h"
#include "platform/ui/scroll_view.h"

namespace ui = qlo::ui;
using Panel = StandalonePanel;

TEST(PanelLayout, StripsKeepTheirHeightsAndTheListItsMarginsAtAnySize) {
    Panel p(320, 400);
    for (auto [w, h] : {std::pair{320.0, 400.0}, std::pair{200.0, 150.0}, std::pair{640.0, 300.0}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        p.resize(w, h);
        const auto& c = *p.controller;
        EXPECT_EQ(Panel::at(*c.header), (ui::Rect{0, 0, w, 22}));
        const ui::Rect title = Panel::at(*c.headerLabel);  // 8 in from each side, centred in height
        EXPECT_EQ(std::pair(title.x, title.maxX()), std::pair(8.0, w - 8));
        EXPECT_NEAR(title.y + title.height / 2, 11, 0.5);
        EXPECT_EQ(Panel::at(*c.footerView), (ui::Rect{0, h - 34, w, 34}));
        EXPECT_EQ(Panel::at(*c.splitViewBtn), (ui::Rect{0, h - 33, w, 33}));
        const ui::Rect list{6, 28, w - 12, h - 22 - 34 - 12};
        EXPECT_EQ(Panel::at(*c.tableScroll), list);
        EXPECT_EQ(Panel::at(*c.emptyStack), list);
        // The empty state's column: centred, at most 300 wide, at least 12 from the sides.
        const ui::Rect column = Panel::at(*c.emptyStack->subviews().at(0));
        EXPECT_NEAR(column.x + column.width / 2, list.x + list.width / 2, 0.5);
        EXPECT_LE(column.width, 300.5);
        EXPECT_GE(column.x, list.x + 12 - 0.5);
    }
    EXPECT_TRUE(p.controller->tableScroll->hasVerticalScroller());
    EXPECT_EQ(p.controller->emptyTitle->alignment(), ui::TextAlignment::Center);
}

TEST(PanelLayout, TearDownDetachesTheTreeAndStopsTheTimers) {
    Panel p(320, 400);
    auto refresh = p.controller->refreshTimer;
    ASSERT_TRUE(refresh && refresh->isValid());
    EXPECT_EQ(p.window->contentView().subviews().size(), 1u);
    p.controller->tearDown();
    EXPECT_FALSE(refresh->isValid());
    EXPECT_TRUE(p.window->contentView().subviews().empty());
}
