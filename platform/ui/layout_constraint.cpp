// Anchors and constraints, and the views' side of them: which constraints a view is part of, and
// what happens to them when views leave the tree or are destroyed.
#include "platform/ui/layout_constraint.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/ui/view.h"

namespace qlo::ui {

namespace {

bool IsDimension(LayoutAttribute a) {
    return a == LayoutAttribute::Width || a == LayoutAttribute::Height;
}

bool IsHorizontal(LayoutAttribute a) {
    return a == LayoutAttribute::Leading || a == LayoutAttribute::Trailing ||
           a == LayoutAttribute::CenterX || a == LayoutAttribute::Width;
}

const char* AttributeName(LayoutAttribute a) {
    switch (a) {
        case LayoutAttribute::Leading: return "leading";
        case LayoutAttribute::Trailing: return "trailing";
        case LayoutAttribute::Top: return "top";
        case LayoutAttribute::Bottom: return "bottom";
        case LayoutAttribute::CenterX: return "centerX";
        case LayoutAttribute::CenterY: return "centerY";
        case LayoutAttribute::Width: return "width";
        case LayoutAttribute::Height: return "height";
    }
    return "?";
}

const View& TopOf(const View& view) {
    const View* top = &view;
    while (top->superview() != nullptr) top = top->superview();
    return *top;
}

using Relation = LayoutConstraint::Relation;

ConstraintPtr Between(const LayoutAnchor& a, Relation relation, const LayoutAnchor& b,
                      double constant) {
    if (a.isDimension() != b.isDimension() ||
        (!a.isDimension() && a.isHorizontal() != b.isHorizontal())) {
        throw std::invalid_argument("layout constraint between anchors of different kinds");
    }
    return LayoutConstraint::linear(
        {{a.view(), a.attribute(), 1}, {b.view(), b.attribute(), -1}}, relation, constant);
}

ConstraintPtr ToConstant(const LayoutAnchor& a, Relation relation, double constant) {
    if (!a.isDimension()) {
        throw std::invalid_argument("only a width or height can equal a constant");
    }
    return LayoutConstraint::linear({{a.view(), a.attribute(), 1}}, relation, constant);
}

}  // namespace

// ---- anchors --------------------------------------------------------------------------------

bool LayoutAnchor::isDimension() const { return IsDimension(attribute_); }
bool LayoutAnchor::isHorizontal() const { return IsHorizontal(attribute_); }

ConstraintPtr LayoutAnchor::constraintEqualToAnchor(const LayoutAnchor& other, double c) const {
    return Between(*this, Relation::Equal, other, c);
}
ConstraintPtr LayoutAnchor::constraintGreaterThanOrEqualToAnchor(const LayoutAnchor& other,
                                                                 double c) const {
    return Between(*this, Relation::GreaterThanOrEqual, other, c);
}
ConstraintPtr LayoutAnchor::constraintLessThanOrEqualToAnchor(const LayoutAnchor& other,
                                                              double c) const {
    return Between(*this, Relation::LessThanOrEqual, other, c);
}
ConstraintPtr LayoutAnchor::constraintEqualToConstant(double c) const {
    return ToConstant(*this, Relation::Equal, c);
}
ConstraintPtr LayoutAnchor::constraintGreaterThanOrEqualToConstant(double c) const {
    return ToConstant(*this, Relation::GreaterThanOrEqual, c);
}
ConstraintPtr LayoutAnchor::constraintLessThanOrEqualToConstant(double c) const {
    return ToConstant(*this, Relation::LessThanOrEqual, c);
}

// ---- constraints ----------------------------------------------------------------------------

ConstraintPtr LayoutConstraint::linear(std::vector<Term> terms, Relation relation,
                                       double constant) {
    if (terms.empty()) throw std::invalid_argument("layout constraint without anchors");
    for (const Term& t : terms) {
        if (t.view == nullptr) throw std::invalid_argument("layout constraint on a null view");
        if (IsDimension(t.attribute) != IsDimension(terms[0].attribute) ||
            (!IsDimension(t.attribute) && IsHorizontal(t.attribute) != IsHorizontal(terms[0].attribute))) {
            throw std::invalid_argument("layout constraint mixes anchors of different kinds");
        }
    }
    auto constraint = std::make_shared<LayoutConstraint>(std::move(terms), relation, constant);
    // Every view learns of the constraint, so that its destruction can retire it.
    for (const Term& t : constraint->terms_) {
        auto& known = t.view->anchoredConstraints_;
        std::erase_if(known, [](const std::weak_ptr<LayoutConstraint>& w) { return w.expired(); });
        known.push_back(constraint);
    }
    return constraint;
}

LayoutConstraint::LayoutConstraint(std::vector<Term> terms, Relation relation, double constant)
    : terms_(std::move(terms)), relation_(relation), constant_(constant) {}

LayoutConstraint::~LayoutConstraint() = default;

View* LayoutConstraint::firstItem() const { return terms_[0].view; }
LayoutAttribute LayoutConstraint::firstAttribute() const { return terms_[0].attribute; }
View* LayoutConstraint::secondItem() const {
    return terms_.size() > 1 ? terms_[1].view : nullptr;
}

void LayoutConstraint::setConstant(double constant) {
    if (constant == constant_) return;
    constant_ = constant;
    if (active_) markViewsNeedLayout();
}

void LayoutConstraint::setPriority(float priority) {
    // NaN counts as required, as does anything above it; nothing is weaker than 1.
    priority = !(priority <= kLayoutPriorityRequired) ? kLayoutPriorityRequired
                                                      : std::max(priority, 1.0f);
    if (priority == priority_) return;
    priority_ = priority;
    if (active_) markViewsNeedLayout();
}

void LayoutConstraint::markViewsNeedLayout() {
    for (const Term& t : terms_) {
        if (t.view != nullptr) t.view->setNeedsLayout();
    }
}

void LayoutConstraint::checkCanActivate() const {
    const View* top = nullptr;
    for (const Term& t : terms_) {
        if (t.view == nullptr) {
            throw std::invalid_argument("cannot activate a layout constraint on a destroyed view: " +
                                        describe());
        }
        const View* viewTop = &TopOf(*t.view);
        if (top != nullptr && viewTop != top) {
            throw std::invalid_argument(
                "cannot activate a layout constraint between views of different trees: " +
                describe());
        }
        top = viewTop;
    }
}

void LayoutConstraint::setActive(bool active) {
    if (active == active_) return;
    if (active) checkCanActivate();
    auto self = shared_from_this();
    active_ = active;
    for (size_t i = 0; i < terms_.size(); ++i) {
        View* view = terms_[i].view;
        if (view == nullptr) continue;
        // A view named twice (its own width against its height) holds the constraint once.
        bool seen = false;
        for (size_t j = 0; j < i; ++j) seen = seen || terms_[j].view == view;
        if (seen) continue;
        auto& list = view->constraints_;
        if (active) {
            list.push_back(self);
        } else {
            std::erase(list, self);
        }
        view->setNeedsLayout();
    }
}

void LayoutConstraint::activate(const std::vector<ConstraintPtr>& constraints) {
    for (const auto& c : constraints) {
        if (c && !c->active_) c->checkCanActivate();
    }
    for (const auto& c : constraints) {
        if (c) c->setActive(true);
    }
}

void LayoutConstraint::deactivate(const std::vector<ConstraintPtr>& constraints) {
    for (const auto& c : constraints) {
        if (c) c->setActive(false);
    }
}

void LayoutConstraint::forgetView(View* view) {
    setActive(false);
    for (Term& t : terms_) {
        if (t.view == view) t.view = nullptr;
    }
}

std::string LayoutConstraint::describe() const {
    auto name = [](const Term& t) {
        std::string text = t.view == nullptr ? "(destroyed)" : t.view->role();
        if (t.view != nullptr && !t.view->identifier().empty()) text += "#" + t.view->identifier();
        return text + "." + AttributeName(t.attribute);
    };
    const char* relation = relation_ == Relation::Equal ? " == "
                           : relation_ == Relation::LessThanOrEqual ? " <= " : " >= ";
    std::string text = identifier_.empty() ? "" : "[" + identifier_ + "] ";
    const bool single = terms_.size() == 1 && terms_[0].coefficient == 1;
    const bool pair =
        terms_.size() == 2 && terms_[0].coefficient == 1 && terms_[1].coefficient == -1;
    if (single || pair) {
        // a == c, or a == b + c
        text += name(terms_[0]) + relation;
        if (single) {
            text += FormatNumber(constant_);
        } else {
            text += name(terms_[1]);
            if (constant_ != 0) {
                text += (constant_ < 0 ? " - " : " + ") + FormatNumber(std::abs(constant_));
            }
        }
    } else {
        for (size_t i = 0; i < terms_.size(); ++i) {
            const double c = terms_[i].coefficient;
            text += i == 0 ? (c < 0 ? "-" : "") : (c < 0 ? " - " : " + ");
            if (std::abs(c) != 1) text += FormatNumber(std::abs(c)) + "*";
            text += name(terms_[i]);
        }
        text += relation + FormatNumber(constant_);
    }
    if (!isRequired()) text += " @" + FormatNumber(priority_);
    return text;
}

// ---- the views' side ------------------------------------------------------------------------

void View::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    if (translates == translatesMask_) return;
    translatesMask_ = translates;
    setNeedsLayout();
}

float View::contentHuggingPriority(Orientation o) const {
    return hugging_[o == Orientation::Horizontal ? 0 : 1];
}

void View::setContentHuggingPriority(float priority, Orientation o) {
    hugging_[o == Orientation::Horizontal ? 0 : 1] = priority;
    setNeedsLayout();
}

float View::contentCompressionResistancePriority(Orientation o) const {
    return compression_[o == Orientation::Horizontal ? 0 : 1];
}

void View::setContentCompressionResistancePriority(float priority, Orientation o) {
    compression_[o == Orientation::Horizontal ? 0 : 1] = priority;
    setNeedsLayout();
}

void View::dropConstraintsLeavingSubtree() {
    // Constraints that tie a view of this subtree to a view outside it cannot survive the move.
    std::vector<ConstraintPtr> leaving;
    std::vector<View*> stack{this};
    while (!stack.empty()) {
        View* view = stack.back();
        stack.pop_back();
        for (const auto& c : view->constraints_) {
            for (const auto& t : c->terms()) {
                if (t.view != nullptr && t.view != this && !t.view->isDescendantOf(*this)) {
                    leaving.push_back(c);
                    break;
                }
            }
        }
        for (const auto& child : view->subviews_) stack.push_back(child.get());
    }
    LayoutConstraint::deactivate(leaving);
}

void View::dropLayoutConstraints() {
    std::vector<std::weak_ptr<LayoutConstraint>> known;
    known.swap(anchoredConstraints_);
    for (const auto& weak : known) {
        if (auto c = weak.lock()) c->forgetView(this);
    }
    // Active constraints are all among the known ones; whatever is left is let go.
    constraints_.clear();
}

}  // namespace qlo::ui
