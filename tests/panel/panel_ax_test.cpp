// Finding and pressing interface elements through the accessibility layer, on windows built here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "panel/ax_automation.h"
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/window.h"

namespace ui = qlo::ui;

namespace {

struct Ui {
    Ui() { window->orderFront(); }
    template <class T>
    T& add(std::shared_ptr<T> view) {
        window->contentView().addSubview(view);
        return *view;
    }
    ui::Button& button(const std::string& title, ui::ButtonType type = ui::ButtonType::Push) {
        auto& b = add(std::make_shared<ui::Button>(title, "", type));
        b.setAction([this, &b](ui::Button&) { pressed.push_back(&b); });
        return b;
    }
    ui::PopUpButton& popUp(std::vector<std::string> items, double x) {
        return add(std::make_shared<ui::PopUpButton>(std::move(items), ui::Rect{x, 10, 100, 20}));
    }
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>("Viewer", ui::Rect{0, 0, 1200, 600});
    std::vector<ui::Button*> pressed;
};

}  // namespace

TEST(PanelAx, TitlesMatchLowerCasedAndDescriptionsByContainment) {
    Ui u;
    u.button("Other");
    ui::Button& two = u.button("2 Views");
    EXPECT_TRUE(qloPressButton("2 VIEWS"));
    ui::Button& described = u.button("x");
    described.setAccessibilityDescription("Switch the viewer to 4 Views now");
    EXPECT_TRUE(qloPressButton("4 views"));
    EXPECT_FALSE(qloPressButton("8 views"));
    EXPECT_EQ(u.pressed, (std::vector<ui::Button*>{&two, &described}));
}

TEST(PanelAx, PlainButtonsBeforeRadioButtonsAndTheLimitBoundsTheWalk) {
    Ui u;
    ui::Button& radio = u.button("1 View", ui::ButtonType::Radio);
    ui::Button& plain = u.button("1 view");
    EXPECT_TRUE(qloPressButton("1 View"));
    EXPECT_EQ(u.pressed, std::vector<ui::Button*>{&plain});
    plain.removeFromSuperview();
    EXPECT_TRUE(qloPressButton("1 View"));
    EXPECT_EQ(u.pressed.back(), &radio);

    int visited = 0;
    EXPECT_FALSE(qloAXWalk("AXRadioButton", 1, [&](const qlo::ax::Element&) { return ++visited, false; }));
    EXPECT_EQ(visited, 0);
    EXPECT_FALSE(qloAXWalk(nullptr, 1, [&](const qlo::ax::Element&) { return ++visited, false; }));
    EXPECT_EQ(visited, 1);
}

// The first match decides: a disabled one is reported as refused, and no later match is pressed.
TEST(PanelAx, ARefusedPressIsReportedAndNothingElseIsTried) {
    Ui u;
    u.button("4 Views").setEnabled(false);
    u.button("4 Views", ui::ButtonType::Radio);
    const QLOPressResult press = qloPressButton("4 views");
    EXPECT_FALSE(press);
    EXPECT_TRUE(press.found);
    EXPECT_EQ(press.error, qlo::ax::kAXErrorCannotComplete);
    EXPECT_TRUE(u.pressed.empty());
    EXPECT_FALSE(qloPressButton("9 views").found);
}

TEST(PanelAx, CameraPopupsAreTheOnesShowingAViewOrCameraSortedLeftToRight) {
    Ui u;
    u.popUp({"Phone B", "Active Camera"}, 900);
    u.popUp({"Active Camera"}, 100);
    u.popUp({"Full", "Half"}, 300);  // a resolution pop-up, not a camera one
    u.popUp({"Front"}, 500);
    const auto popups = qloFindViewerPopups({"Phone B"});
    ASSERT_EQ(popups.size(), 3u);
    std::vector<double> xs;
    for (const auto& p : popups) {
        qlo::ax::Value v;
        ASSERT_EQ(qlo::ax::AXUIElementCopyAttributeValue(p, "AXPosition", &v), qlo::ax::kAXErrorSuccess);
        xs.push_back(v.point()->x);
    }
    EXPECT_EQ(xs, (std::vector<double>{100, 500, 900}));
}

TEST(PanelAx, UnreadablePositionsSortLast) {
    Ui u;
    auto a = qlo::ax::AXUIElementCreateApplication(getpid());
    std::vector<qlo::ax::Element> elements{a, nullptr, a};
    const double inf = std::numeric_limits<double>::infinity();
    const auto sorted = qloSortByFrameX(elements, {{inf, inf, 0, 0}, {50, 0, 1, 1}, {NAN, 0, 1, 1}});
    EXPECT_EQ(sorted[0], nullptr);
}

TEST(PanelAx, AnUntrustedProcessFindsNothing) {
    Ui u;
    u.button("2 Views");
    u.popUp({"Active Camera"}, 10);
    qlo::ax::SetProcessTrustedForTesting(false);
    EXPECT_FALSE(qloPressButton("2 Views"));
    EXPECT_TRUE(qloFindViewerPopups({}).empty());
    EXPECT_TRUE(u.pressed.empty());
    qlo::ax::SetProcessTrustedForTesting(true);
}
