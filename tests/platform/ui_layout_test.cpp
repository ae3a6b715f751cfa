// Layout: priorities (strictly ordered, losing to required ones), intrinsic sizes,
// autoresizing masks in unflipped views, the constraints' life with their views, a vertical
// stack view, and layout being redone after a change.
#include <gtest/gtest.h>

#include "platform/ui/layout_constraint.h"
#include "platform/ui/stack_view.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;

// Content of a fixed size (a one-line label, a button).
class FixedView : public View {
public:
    FixedView(double width, double height) : size_{width, height} {}
    Size intrinsicContentSize() const override { return size_; }

private:
    Size size_;
};

template <typename T = View, typename... Args>
std::shared_ptr<T> Constrained(View& parent, const std::string& id, Args... args) {
    auto view = std::make_shared<T>(args...);
    view->setIdentifier(id);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent.addSubview(view);
    return view;
}

void ExpectFrame(const View& view, Rect expected) {
    const Rect& f = view.frame();
    EXPECT_TRUE(std::abs(f.x - expected.x) < 1e-6 && std::abs(f.y - expected.y) < 1e-6 &&
                std::abs(f.width - expected.width) < 1e-6 && std::abs(f.height - expected.height) < 1e-6)
        << view.describe();
}

ConstraintPtr At(float priority, ConstraintPtr c) {
    c->setPriority(priority);
    return c;
}

std::shared_ptr<View> Container(double w, double h) { return std::make_shared<View>(Rect{0, 0, w, h}); }

TEST(UiLayout, PrioritiesAreStrictlyOrderedAndRequiredOnesAlwaysWin) {
    auto top = Container(400, 100);
    auto a = Constrained(*top, "a");
    auto b = Constrained(*top, "b");
    LayoutConstraint::activate({
        a->leadingAnchor().constraintEqualToAnchor(top->leadingAnchor()),
        b->leadingAnchor().constraintEqualToAnchor(a->trailingAnchor(), 10),
        // a wants 200 (750) but may not pass 150 (required)
        At(750, a->widthAnchor().constraintGreaterThanOrEqualToConstant(200)),
        a->widthAnchor().constraintLessThanOrEqualToConstant(150),
        // one 751 against two 750s that would outweigh it by any sum of weights
        b->widthAnchor().constraintEqualToAnchor(a->heightAnchor()),
        At(751, a->heightAnchor().constraintGreaterThanOrEqualToConstant(40)),
        At(750, a->heightAnchor().constraintLessThanOrEqualToConstant(0)),
        At(750, b->widthAnchor().constraintLessThanOrEqualToConstant(0)),
    });
    top->layoutSubtreeIfNeeded();
    ExpectFrame(*a, {0, a->frame().y, 150, 40});
    EXPECT_DOUBLE_EQ(b->frame().x, 160);
    EXPECT_DOUBLE_EQ(b->frame().width, 40);
}

TEST(UiLayout, IntrinsicSizeHugsByPriority) {
    auto top = Container(300, 100);
    auto low = Constrained<FixedView>(*top, "low", 50.0, 20.0);
    auto high = Constrained<FixedView>(*top, "high", 50.0, 20.0);
    high->setContentHuggingPriority(300, Orientation::Horizontal);
    LayoutConstraint::activate({
        low->leadingAnchor().constraintEqualToAnchor(top->leadingAnchor()),
        high->leadingAnchor().constraintEqualToAnchor(low->trailingAnchor()),
        high->trailingAnchor().constraintEqualToAnchor(top->trailingAnchor()),
    });
    top->layoutSubtreeIfNeeded();
    EXPECT_DOUBLE_EQ(low->frame().width, 250) << "the view that hugs least stretches";
    EXPECT_DOUBLE_EQ(low->frame().height, 20);
}

// A table cell as the panel builds it: unflipped, its width following the row's, with a
// fixed-size image and a name that takes the rest.
TEST(UiLayout, AutoresizingFollowsTheMaskInAnUnflippedView) {
    auto row = Container(200, 24);
    auto cell = std::make_shared<View>(Rect{0, 0, 200, 24});
    cell->setFlipped(false);
    cell->setAutoresizingMask(ViewWidthSizable);
    auto fixed = std::make_shared<View>(Rect{8, 3, 18, 18});
    auto name = std::make_shared<View>(Rect{54, 3, 136, 18});
    name->setAutoresizingMask(ViewWidthSizable);
    row->addSubview(cell);
    for (const auto& v : {fixed, name}) cell->addSubview(v);
    row->setFrame({0, 0, 290, 30});
    ExpectFrame(*cell, {0, 0, 290, 24});
    ExpectFrame(*fixed, {8, 3, 18, 18});
    ExpectFrame(*name, {54, 3, 226, 18});
    row->setFrame({0, 0, 200, 24});
    ExpectFrame(*name, {54, 3, 136, 18});
}

TEST(UiLayout, ConstraintsLiveAndDieWithTheirViewsTree) {
    auto top = Container(100, 100);
    auto a = Constrained(*top, "a");
    auto inner = Constrained(*a, "inner");
    auto inside = inner->widthAnchor().constraintEqualToAnchor(a->widthAnchor());
    auto across = a->leadingAnchor().constraintEqualToAnchor(top->leadingAnchor());
    LayoutConstraint::activate({inside, across});
    a->removeFromSuperview();
    EXPECT_TRUE(inside->isActive()) << "within the moved subtree";
    EXPECT_FALSE(across->isActive()) << "to a view outside it";
    EXPECT_TRUE(top->constraints().empty());

    inner.reset();
    a->removeAllSubviews();  // drops the last owner of inner
    EXPECT_FALSE(inside->isActive());
    EXPECT_TRUE(a->constraints().empty());
    EXPECT_THROW(inside->setActive(true), std::invalid_argument) << "its view is gone";
}

// Fill equally and centre X are the panel's (tests/panel); here a column packed from the top,
// where a hidden view leaves no gap.
TEST(UiLayout, AVerticalStackSkipsItsHiddenViews) {
    auto top = Container(308, 200);
    auto c1 = std::make_shared<FixedView>(60, 10), c2 = std::make_shared<FixedView>(90, 10),
         c3 = std::make_shared<FixedView>(30, 10);
    auto column = StackView::stackWithViews({c1, c2, c3}, StackOrientation::Vertical);
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    column->setAlignment(StackAlignment::Leading);
    column->setSpacing(5);
    top->addSubview(column);
    LayoutConstraint::activate({column->leadingAnchor().constraintEqualToAnchor(top->leadingAnchor()),
                                column->topAnchor().constraintEqualToAnchor(top->topAnchor(), 100)});
    top->layoutSubtreeIfNeeded();
    ExpectFrame(*column, {0, 100, 90, 40});
    ExpectFrame(*c3, {0, 30, 30, 10});
    c2->setHidden(true);
    top->layoutSubtreeIfNeeded();
    ExpectFrame(*column, {0, 100, 60, 25});
    ExpectFrame(*c3, {0, 15, 30, 10});
}

// A window lays its content out again after its frame or a constraint's constant changed.
TEST(UiLayout, LayoutIsRedoneAfterAChange) {
    Window window("w", {0, 0, 200, 100});
    auto a = Constrained(window.contentView(), "a");
    auto width = a->widthAnchor().constraintEqualToAnchor(window.contentView().widthAnchor(), -20);
    LayoutConstraint::activate({width, a->heightAnchor().constraintEqualToConstant(10)});
    window.layoutIfNeeded();
    EXPECT_DOUBLE_EQ(a->frame().width, 180);
    window.setFrame({0, 0, 300, 100});
    window.layoutIfNeeded();
    EXPECT_DOUBLE_EQ(a->frame().width, 280);
    width->setConstant(-100);
    window.layoutIfNeeded();
    EXPECT_DOUBLE_EQ(a->frame().width, 200);
}

}  // namespace
