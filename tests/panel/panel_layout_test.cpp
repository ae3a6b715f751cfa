// The panel's view tree laid out at different panel sizes, with no server running (empty state).
#include <gtest/gtest.h>

#include "panel/panel_controller.h"
#include "panel/panel_drawing.h"
#include "platform/ui/button.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/window.h"

namespace ui = qlo::ui;

namespace {

struct Panel {
    explicit Panel(double width, double height)
        : window(std::make_shared<ui::Window>("Panel", ui::Rect{0, 0, width, height})) {
        window->orderFront();
        controller = QLOPanelController::attachToContainer(&window->contentView());
        resize(width, height);
    }
    ~Panel() { controller->tearDown(); }
    void resize(double width, double height) {
        window->setFrame(ui::Rect{0, 0, width, height});
        window->contentView().layoutSubtreeIfNeeded();
    }
    static ui::Rect at(const ui::View& view) { return view.frameInWindow(); }
    std::shared_ptr<ui::Window> window;
    QLOPanelController::Ptr controller;
};

}  // namespace

TEST(PanelLayout, StripsKeepTheirHeightsAndTheListItsMarginsAtAnySize) {
    Panel p(320, 400);
    for (auto [w, h] : {std::pair{320.0, 400.0}, std::pair{200.0, 150.0}, std::pair{640.0, 300.0}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        p.resize(w, h);
        const auto& c = *p.controller;
        EXPECT_EQ(Panel::at(*c.header), (ui::Rect{0, 0, w, 22}));
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
