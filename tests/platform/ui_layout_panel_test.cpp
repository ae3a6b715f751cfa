// The dockable panel's constraint set (header, footer with rule and button, list area with its
// margins, the centred empty-state column with a wrapping hint and two equal badges), solved at
// several container sizes, with exact frames.
#include <gtest/gtest.h>

#include "platform/ui/layout_constraint.h"
#include "platform/ui/stack_view.h"
#include "tests/platform/ui_layout_fixtures.h"

namespace {

using namespace qlo::ui;
using namespace qlo::ui::testing;

void Pin(View& a, View& b, std::vector<ConstraintPtr>& c) {
    c.push_back(a.leadingAnchor().constraintEqualToAnchor(b.leadingAnchor()));
    c.push_back(a.trailingAnchor().constraintEqualToAnchor(b.trailingAnchor()));
    c.push_back(a.topAnchor().constraintEqualToAnchor(b.topAnchor()));
    c.push_back(a.bottomAnchor().constraintEqualToAnchor(b.bottomAnchor()));
}

ConstraintPtr At(float priority, ConstraintPtr c) {
    c->setPriority(priority);
    return c;
}

struct Panel {
    std::shared_ptr<View> container = std::make_shared<View>();
    std::shared_ptr<View> root, header, headerLabel, footer, rule, button, list, scroll, empty;
    std::shared_ptr<View> title, hint, badgeA, badgeB;
    std::shared_ptr<StackView> badges, column;

    explicit Panel(Size size) {
        container->setFrame({0, 0, size.width, size.height});
        root = Constrained(*container, "root");
        std::vector<ConstraintPtr> c;
        Pin(*root, *container, c);
        LayoutConstraint::activate(c);
        c.clear();

        header = Constrained(*root, "header");
        headerLabel = Constrained<FixedView>(*header, "headerLabel", 80.0, 14.0);
        footer = Constrained(*root, "footer");
        rule = Constrained(*footer, "rule");
        button = Constrained<FixedView>(*footer, "button", 120.0, 20.0);
        list = Constrained(*root, "list");
        scroll = Constrained(*list, "scroll");
        empty = Constrained(*list, "empty");

        title = std::make_shared<FixedView>(130, 15);
        hint = std::make_shared<WrappingView>(420);
        badgeA = std::make_shared<FixedView>(100, 30);
        badgeB = std::make_shared<FixedView>(100, 30);
        badges = StackView::stackWithViews({badgeA, badgeB}, StackOrientation::Horizontal);
        badges->setSpacing(8);
        badges->setDistribution(StackView::kDistributionFillEqually);
        column = StackView::stackWithViews({title, hint, badges}, StackOrientation::Vertical);
        column->setAlignment(9);
        column->setSpacing(14);
        column->setTranslatesAutoresizingMaskIntoConstraints(false);
        empty->addSubview(column);

        c.push_back(column->centerXAnchor().constraintEqualToAnchor(empty->centerXAnchor()));
        c.push_back(column->centerYAnchor().constraintEqualToAnchor(empty->centerYAnchor()));
        c.push_back(column->leadingAnchor().constraintGreaterThanOrEqualToAnchor(empty->leadingAnchor(), 12));
        c.push_back(column->trailingAnchor().constraintLessThanOrEqualToAnchor(empty->trailingAnchor(), -12));
        c.push_back(column->topAnchor().constraintGreaterThanOrEqualToAnchor(empty->topAnchor(), 8));
        c.push_back(column->bottomAnchor().constraintLessThanOrEqualToAnchor(empty->bottomAnchor(), -8));
        c.push_back(At(750, column->widthAnchor().constraintLessThanOrEqualToConstant(300)));
        for (const auto& badge : {badgeA, badgeB}) {
            c.push_back(badge->heightAnchor().constraintEqualToConstant(34));
            c.push_back(At(750, badge->widthAnchor().constraintGreaterThanOrEqualToConstant(90)));
        }
        c.push_back(hint->widthAnchor().constraintEqualToAnchor(column->widthAnchor()));

        c.push_back(header->topAnchor().constraintEqualToAnchor(root->topAnchor()));
        c.push_back(header->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor()));
        c.push_back(header->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor()));
        c.push_back(header->heightAnchor().constraintEqualToConstant(22));
        c.push_back(headerLabel->leadingAnchor().constraintEqualToAnchor(header->leadingAnchor(), 8));
        c.push_back(headerLabel->trailingAnchor().constraintEqualToAnchor(header->trailingAnchor(), -8));
        c.push_back(headerLabel->centerYAnchor().constraintEqualToAnchor(header->centerYAnchor()));
        c.push_back(footer->bottomAnchor().constraintEqualToAnchor(root->bottomAnchor()));
        c.push_back(footer->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor()));
        c.push_back(footer->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor()));
        c.push_back(footer->heightAnchor().constraintEqualToConstant(34));
        c.push_back(rule->topAnchor().constraintEqualToAnchor(footer->topAnchor()));
        c.push_back(rule->leadingAnchor().constraintEqualToAnchor(footer->leadingAnchor()));
        c.push_back(rule->trailingAnchor().constraintEqualToAnchor(footer->trailingAnchor()));
        c.push_back(rule->heightAnchor().constraintEqualToConstant(1));
        c.push_back(button->topAnchor().constraintEqualToAnchor(rule->bottomAnchor()));
        c.push_back(button->leadingAnchor().constraintEqualToAnchor(footer->leadingAnchor()));
        c.push_back(button->trailingAnchor().constraintEqualToAnchor(footer->trailingAnchor()));
        c.push_back(button->bottomAnchor().constraintEqualToAnchor(footer->bottomAnchor()));
        c.push_back(list->topAnchor().constraintEqualToAnchor(header->bottomAnchor(), 6));
        c.push_back(list->bottomAnchor().constraintEqualToAnchor(footer->topAnchor(), -6));
        c.push_back(list->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 6));
        c.push_back(list->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -6));
        Pin(*scroll, *list, c);
        Pin(*empty, *list, c);
        LayoutConstraint::activate(c);
    }

    // Everything that does not depend on the empty state's content.
    void expectChrome(double w, double h) {
        ExpectFrame(*root, {0, 0, w, h});
        ExpectFrame(*header, {0, 0, w, 22});
        ExpectFrame(*headerLabel, {8, 4, w - 16, 14});
        ExpectFrame(*footer, {0, h - 34, w, 34});
        ExpectFrame(*rule, {0, 0, w, 1});
        ExpectFrame(*button, {0, 1, w, 33});
        ExpectFrame(*list, {6, 28, w - 12, h - 68});
        ExpectFrame(*scroll, {0, 0, w - 12, h - 68});
        ExpectFrame(*empty, {0, 0, w - 12, h - 68});
    }
};

TEST(UiLayoutPanel, WideContainerCapsTheColumnAt300AndCentresIt) {
    Panel p({360, 400});
    p.container->layoutSubtreeIfNeeded();
    p.expectChrome(360, 400);
    // 300 wide (the cap beats the hint's one-line width); the hint wraps to two lines.
    ExpectFrame(*p.column, {24, 113.5, 300, 105});
    ExpectFrame(*p.title, {85, 0, 130, 15});
    ExpectFrame(*p.hint, {0, 29, 300, 28});
    ExpectFrame(*p.badges, {46, 71, 208, 34});
    ExpectFrame(*p.badgeA, {0, 0, 100, 34});
    ExpectFrame(*p.badgeB, {108, 0, 100, 34});
}

TEST(UiLayoutPanel, ResizingReSolvesAndTheHintWrapsAgainAtItsNewWidth) {
    Panel p({360, 400});
    p.container->layoutSubtreeIfNeeded();
    p.container->setFrame({0, 0, 200, 240});
    EXPECT_TRUE(p.container->needsLayout());
    p.container->layoutSubtreeIfNeeded();
    p.expectChrome(200, 240);
    // 12 from each side; three lines of hint; the badges shrink below 90 together.
    ExpectFrame(*p.column, {12, 26.5, 164, 119});
    ExpectFrame(*p.title, {17, 0, 130, 15});
    ExpectFrame(*p.hint, {0, 29, 164, 42});
    ExpectFrame(*p.badges, {0, 85, 164, 34});
    ExpectFrame(*p.badgeA, {0, 0, 78, 34});
    ExpectFrame(*p.badgeB, {86, 0, 78, 34});
}

TEST(UiLayoutPanel, TooShortForTheEmptyStateKeepsEveryRequiredConstraint) {
    Panel p({200, 150});
    p.container->layoutSubtreeIfNeeded();
    p.expectChrome(200, 150);
    // 66 points for the column: labels give way, the badges and the margins do not.
    const Rect col = p.column->frame();
    EXPECT_NEAR(col.x, 12, 1e-6);
    EXPECT_NEAR(col.width, 164, 1e-6);
    EXPECT_GE(col.y, 8 - 1e-6);
    EXPECT_LE(col.maxY(), 82 - 8 + 1e-6);
    EXPECT_NEAR(col.y + col.height / 2, 41, 1e-6);
    EXPECT_NEAR(p.badgeA->frame().height, 34, 1e-6);
    EXPECT_NEAR(p.badgeA->frame().width, p.badgeB->frame().width, 1e-6);
    EXPECT_NEAR(p.badges->frame().maxY(), col.height, 1e-6);
    EXPECT_GE(p.title->frame().height, 0);
    EXPECT_GE(p.hint->frame().height, 0);
}

}  // namespace
