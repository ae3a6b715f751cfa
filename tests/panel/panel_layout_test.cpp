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
        const ui::Rect title = Panel::at(*c.headerLabel);
        EXPECT_EQ(std::pair(title.x, title.maxX()), std::pair(8.0, w - 8));  // 8 in from each side
        EXPECT_EQ(Panel::at(*c.footerView), (ui::Rect{0, h - 34, w, 34}));
        EXPECT_EQ(Panel::at(*c.splitViewBtn), (ui::Rect{0, h - 33, w, 33}));
        const ui::Rect list{6, 28, w - 12, h - 22 - 34 - 12};
        EXPECT_EQ(Panel::at(*c.tableScroll), list);
        EXPECT_EQ(Panel::at(*c.emptyStack), list);

        // The empty-state column: centred, at most 300 wide, at least 12 from the sides.
        const ui::Rect column = Panel::at(*c.emptyStack->subviews().at(0));
        EXPECT_NEAR(column.x + column.width / 2, list.x + list.width / 2, 0.5);
        EXPECT_LE(column.width, 300.5);
        EXPECT_GE(column.x, list.x + 12 - 0.5);
        EXPECT_LE(column.maxX(), list.maxX() - 12 + 0.5);
        const ui::Rect app = Panel::at(*c.appStoreBtn), play = Panel::at(*c.playStoreBtn);
        EXPECT_EQ(app.height, 34);
        EXPECT_EQ(play.height, 34);
        EXPECT_NEAR(app.width, play.width, 0.5);
        EXPECT_NEAR(play.x - app.maxX(), 8, 0.5);
    }
}

// The empty state's column: capped at 300 in a wide panel, 12 from the sides in a narrow one
// (the hint wraps onto more lines and the badges share what is left below their 90), and in a
// panel too short for it the margins and the badges' height still hold.
TEST(PanelLayout, TheEmptyStateFitsItsColumnToThePanel) {
    Panel p(360, 400);
    const auto& c = *p.controller;
    auto column = [&] { return Panel::at(*c.emptyStack->subviews().at(0)); };
    const double lineHeight = c.emptyTitle->intrinsicContentSize().height;
    EXPECT_EQ(column().width, 300);
    EXPECT_NEAR(Panel::at(*c.emptyTitle).x + Panel::at(*c.emptyTitle).width / 2, 180, 0.5);
    EXPECT_EQ(Panel::at(*c.emptyHint).width, 300);
    const double wideHint = Panel::at(*c.emptyHint).height;
    EXPECT_GT(wideHint, 1.5 * lineHeight) << "wraps";
    EXPECT_GE(Panel::at(*c.appStoreBtn).width, 90);

    p.resize(200, 240);
    EXPECT_EQ(column(), (ui::Rect{18, column().y, 164, column().height}));
    EXPECT_GT(Panel::at(*c.emptyHint).height, wideHint) << "more lines at the narrower width";
    EXPECT_EQ(Panel::at(*c.appStoreBtn).width, 78) << "(164 - 8) / 2: below 90, both alike";
    EXPECT_EQ(Panel::at(*c.playStoreBtn).width, 78);

    p.resize(200, 150);  // 82 points of list: the labels give way
    const ui::Rect list = Panel::at(*c.emptyStack);
    EXPECT_GE(column().y, list.y + 8 - 1e-6);
    EXPECT_LE(column().maxY(), list.maxY() - 8 + 1e-6);
    EXPECT_EQ(Panel::at(*c.appStoreBtn).height, 34);
    EXPECT_NEAR(Panel::at(*c.appStoreBtn).maxY(), column().maxY(), 1e-6) << "the badges end the column";
}

TEST(PanelLayout, TearDownDetachesTheTreeAndStopsTheTimers) {
    Panel p(320, 400);
    auto refresh = p.controller->refreshTimer;
    ASSERT_TRUE(refresh && refresh->isValid());
    EXPECT_EQ(p.window->contentView().subviews().size(), 1u);
    p.controller->tearDown();
    EXPECT_FALSE(refresh->isValid());
    EXPECT_TRUE(p.window->contentView().subviews().empty());
    EXPECT_EQ(p.controller->root, nullptr);
}
