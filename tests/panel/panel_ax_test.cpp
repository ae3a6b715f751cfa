// Finding and pressing interface elements through the accessibility layer, on windows built here.
#include <gtest/gtest.h>

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
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>("Viewer", ui::Rect{0, 0, 1200, 600});
    std::vector<ui::Button*> pressed;
};

}  // namespace

// Buttons match by title in any case or by a description that contains the name; plain buttons
// are looked for before radio buttons, and the walk over the interface is bounded.
TEST(PanelAx, ButtonsMatchByTitleOrDescriptionPlainOnesBeforeRadioButtons) {
    Ui u;
    ui::Button& radio = u.button("2 Views", ui::ButtonType::Radio);
    ui::Button& plain = u.button("2 views");
    ui::Button& described = u.button("x");
    described.setAccessibilityDescription("Switch the viewer to 4 Views now");
    EXPECT_TRUE(qloPressButton("2 VIEWS"));
    EXPECT_TRUE(qloPressButton("4 views"));
    plain.removeFromSuperview();
    EXPECT_TRUE(qloPressButton("2 Views"));
    EXPECT_FALSE(qloPressButton("8 views").found);
    EXPECT_EQ(u.pressed, (std::vector<ui::Button*>{&plain, &described, &radio}));

    int visited = 0;
    EXPECT_FALSE(qloAXWalk(nullptr, 1, [&](const qlo::ax::Element&) { return ++visited, false; }));
    EXPECT_EQ(visited, 1);
}

// Camera pop-ups are the ones showing a standard view or a phone's camera, sorted left to right.
TEST(PanelAx, CameraPopupsAreTheOnesShowingAViewOrCameraSortedLeftToRight) {
    Ui u;
    // The one at 300 is a resolution pop-up, not a camera one.
    const std::pair<std::vector<std::string>, double> popUps[] = {
        {{"Phone B", "Active Camera"}, 900}, {{"Active Camera"}, 100}, {{"Full", "Half"}, 300}, {{"Front"}, 500}};
    for (const auto& [items, x] : popUps)
        u.add(std::make_shared<ui::PopUpButton>(items, ui::Rect{x, 10, 100, 20}));
    std::vector<double> xs;
    for (const auto& p : qloFindViewerPopups({"Phone B"})) {
        qlo::ax::Value v;
        ASSERT_EQ(qlo::ax::AXUIElementCopyAttributeValue(p, "AXPosition", &v), qlo::ax::kAXErrorSuccess);
        xs.push_back(v.point()->x);
    }
    EXPECT_EQ(xs, (std::vector<double>{100, 500, 900}));
}
