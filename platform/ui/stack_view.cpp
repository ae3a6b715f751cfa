#include "platform/ui/stack_view.h"

#include <algorithm>
#include <stdexcept>

namespace qlo::ui {

namespace {

enum class Cross { Start, End, Center, Fill };

}  // namespace

StackView::StackView(StackOrientation orientation)
    : orientation_(orientation),
      alignment_(orientation == StackOrientation::Vertical ? StackAlignment::CenterX
                                                           : StackAlignment::CenterY) {}

StackView::~StackView() = default;

std::shared_ptr<StackView> StackView::stackWithViews(std::vector<std::shared_ptr<View>> views,
                                                     StackOrientation orientation) {
    auto stack = std::make_shared<StackView>(orientation);
    for (auto& view : views) stack->addArrangedSubview(std::move(view));
    return stack;
}

void StackView::setOrientation(StackOrientation orientation) {
    orientation_ = orientation;
    setNeedsLayout();
}

void StackView::setSpacing(double spacing) {
    spacing_ = spacing;
    setNeedsLayout();
}

void StackView::setDistribution(StackDistribution distribution) {
    distribution_ = distribution;
    setNeedsLayout();
}

void StackView::setAlignment(StackAlignment alignment) {
    alignment_ = alignment;
    setNeedsLayout();
}

void StackView::addArrangedSubview(std::shared_ptr<View> view) {
    if (!view) throw std::invalid_argument("addArrangedSubview: null view");
    std::erase(arranged_, view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    if (view->superview() != this) addSubview(view);
    arranged_.push_back(std::move(view));
    setNeedsLayout();
}

void StackView::removeArrangedSubview(const View& view) {
    std::erase_if(arranged_, [&](const std::shared_ptr<View>& v) { return v.get() == &view; });
    setNeedsLayout();
}

StackView::Shape StackView::currentShape() {
    Shape shape{orientation_, spacing_, distribution_, alignment_,
                {contentHuggingPriority(Orientation::Horizontal),
                 contentHuggingPriority(Orientation::Vertical)},
                {}, {}};
    for (const auto& v : arranged_) {
        shape.views.emplace_back(v.get(), v->isHidden());
        // Proportional sizes are made from the intrinsic sizes: a change remakes them.
        if (distribution_ == StackDistribution::FillProportionally) {
            shape.intrinsic.push_back(v->intrinsicContentSize());
        }
    }
    return shape;
}

void StackView::updateConstraints() {
    // A view taken out of the stack by removeFromSuperview is no longer arranged.
    std::erase_if(arranged_, [this](const std::shared_ptr<View>& v) { return v->superview() != this; });
    Shape shape = currentShape();
    const bool intact =
        std::all_of(own_.begin(), own_.end(), [](const ConstraintPtr& c) { return c->isActive(); });
    if (built_ && *built_ == shape && intact) return;

    LayoutConstraint::deactivate(own_);
    std::vector<View*> visible;
    for (const auto& v : arranged_) {
        if (!v->isHidden()) visible.push_back(v.get());
    }
    own_ = makeConstraints(visible);
    LayoutConstraint::activate(own_);
    built_ = std::move(shape);
}

std::vector<ConstraintPtr> StackView::makeConstraints(const std::vector<View*>& views) {
    using A = LayoutAttribute;
    using R = LayoutConstraint::Relation;
    const bool vertical = orientation_ == StackOrientation::Vertical;
    const A mainLead = vertical ? A::Top : A::Leading;
    const A mainTrail = vertical ? A::Bottom : A::Trailing;
    const A mainCenter = vertical ? A::CenterY : A::CenterX;
    const A mainSize = vertical ? A::Height : A::Width;
    const A crossLead = vertical ? A::Leading : A::Top;
    const A crossTrail = vertical ? A::Trailing : A::Bottom;
    const A crossCenter = vertical ? A::CenterX : A::CenterY;
    const A crossSize = vertical ? A::Width : A::Height;

    std::vector<ConstraintPtr> out;
    auto add = [&](std::vector<LayoutConstraint::Term> terms, R relation, double constant,
                   float priority = kLayoutPriorityRequired) {
        auto c = LayoutConstraint::linear(std::move(terms), relation, constant);
        c->setPriority(priority);
        out.push_back(std::move(c));
    };

    // Hugging: along each axis the stack is as small as its content lets it be.
    const float hugMain = contentHuggingPriority(vertical ? Orientation::Vertical : Orientation::Horizontal);
    const float hugCross = contentHuggingPriority(vertical ? Orientation::Horizontal : Orientation::Vertical);
    add({{this, mainSize, 1}}, R::Equal, 0, hugMain);
    add({{this, crossSize, 1}}, R::Equal, 0, hugCross);
    if (views.empty()) return out;

    // Along the stack.
    using D = StackDistribution;
    const D d = distribution_;
    const bool packed = d != D::Fill && d != D::FillEqually && d != D::FillProportionally &&
                        d != D::EqualSpacing && d != D::EqualCentering;  // gravity areas, and unknown values
    const bool fixedGaps = packed || d == D::Fill || d == D::FillEqually || d == D::FillProportionally;
    View* first = views.front();
    add({{first, mainLead, 1}, {this, mainLead, -1}}, R::Equal, 0);
    add({{views.back(), mainTrail, 1}, {this, mainTrail, -1}}, packed ? R::LessThanOrEqual : R::Equal, 0);
    const double firstIntrinsic = vertical ? first->intrinsicContentSize().height
                                           : first->intrinsicContentSize().width;
    for (size_t i = 1; i < views.size(); ++i) {
        View* v = views[i];
        add({{v, mainLead, 1}, {views[i - 1], mainTrail, -1}},
            fixedGaps ? R::Equal : R::GreaterThanOrEqual, spacing_);
        if (d == D::FillEqually) {
            add({{v, mainSize, 1}, {first, mainSize, -1}}, R::Equal, 0);
        } else if (d == D::FillProportionally) {
            const double own = vertical ? v->intrinsicContentSize().height : v->intrinsicContentSize().width;
            // size(v) / size(first) = intrinsic(v) / intrinsic(first), where both have one.
            if (own > 0 && firstIntrinsic > 0) {
                add({{v, mainSize, firstIntrinsic}, {first, mainSize, -own}}, R::Equal, 0);
            }
        } else if (d == D::EqualSpacing && i >= 2) {
            // gap(i) = gap(1)
            add({{v, mainLead, 1}, {views[i - 1], mainTrail, -1}, {views[1], mainLead, -1},
                 {views[0], mainTrail, 1}}, R::Equal, 0);
        } else if (d == D::EqualCentering && i >= 2) {
            // centre(i) - centre(i-1) = centre(1) - centre(0)
            add({{v, mainCenter, 1}, {views[i - 1], mainCenter, -1}, {views[1], mainCenter, -1},
                 {views[0], mainCenter, 1}}, R::Equal, 0);
        }
    }

    // Across the stack.
    using Al = StackAlignment;
    const Al a = alignment_;
    Cross cross = Cross::Center;
    if (vertical) {
        if (a == Al::Left || a == Al::Leading) cross = Cross::Start;
        if (a == Al::Right || a == Al::Trailing) cross = Cross::End;
        if (a == Al::Width) cross = Cross::Fill;
    } else {
        if (a == Al::Top) cross = Cross::Start;
        if (a == Al::Bottom) cross = Cross::End;
        if (a == Al::Height) cross = Cross::Fill;
    }
    for (View* v : views) {
        switch (cross) {
            case Cross::Start:
                add({{v, crossLead, 1}, {this, crossLead, -1}}, R::Equal, 0);
                add({{v, crossTrail, 1}, {this, crossTrail, -1}}, R::LessThanOrEqual, 0);
                break;
            case Cross::End:
                add({{v, crossTrail, 1}, {this, crossTrail, -1}}, R::Equal, 0);
                add({{v, crossLead, 1}, {this, crossLead, -1}}, R::GreaterThanOrEqual, 0);
                break;
            case Cross::Center:
                add({{v, crossCenter, 1}, {this, crossCenter, -1}}, R::Equal, 0);
                add({{v, crossLead, 1}, {this, crossLead, -1}}, R::GreaterThanOrEqual, 0);
                break;
            case Cross::Fill:
                add({{v, crossLead, 1}, {this, crossLead, -1}}, R::Equal, 0);
                add({{v, crossTrail, 1}, {this, crossTrail, -1}}, R::Equal, 0);
                break;
        }
    }
    return out;
}

}  // namespace qlo::ui
