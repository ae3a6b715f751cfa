// Layout anchors: an edge, centre or dimension of a view, from which layout constraints are made
// ("the header's top equals the root's top", "the badge's width is at least 90"). An anchor is a
// small value (the view and which of its attributes); the view must outlive it.
//
// Positions are in the layout's top-down coordinates: a positive constant on a vertical anchor
// moves down, on a horizontal one to the right. Leading is the left edge (left-to-right only).
#pragma once

#include <memory>

namespace qlo::ui {

class View;
class LayoutConstraint;
using ConstraintPtr = std::shared_ptr<LayoutConstraint>;

// A size component that a view does not have (no intrinsic width, or no height for a width).
inline constexpr double kNoIntrinsicMetric = -1;

// Constraint priorities: required constraints always hold; lower ones give way, higher first.
inline constexpr float kLayoutPriorityRequired = 1000;
inline constexpr float kLayoutPriorityDefaultHigh = 750;
inline constexpr float kLayoutPriorityDefaultLow = 250;

enum class Orientation { Horizontal, Vertical };

enum class LayoutAttribute { Leading, Trailing, Top, Bottom, CenterX, CenterY, Width, Height };

class LayoutAnchor {
public:
    LayoutAnchor(View* view, LayoutAttribute attribute) : view_(view), attribute_(attribute) {}

    View* view() const { return view_; }
    LayoutAttribute attribute() const { return attribute_; }
    // Width and height are dimensions; the others are positions on the x or the y axis.
    bool isDimension() const;
    bool isHorizontal() const;

    // this = other + constant (or <=, >=). Positions pair with positions of the same axis,
    // dimensions with dimensions; any other pairing throws std::invalid_argument.
    ConstraintPtr constraintEqualToAnchor(const LayoutAnchor& other, double constant = 0) const;
    ConstraintPtr constraintGreaterThanOrEqualToAnchor(const LayoutAnchor& other,
                                                       double constant = 0) const;
    ConstraintPtr constraintLessThanOrEqualToAnchor(const LayoutAnchor& other,
                                                    double constant = 0) const;

    // Dimensions only (std::invalid_argument on a position): this = constant (or <=, >=).
    ConstraintPtr constraintEqualToConstant(double constant) const;
    ConstraintPtr constraintGreaterThanOrEqualToConstant(double constant) const;
    ConstraintPtr constraintLessThanOrEqualToConstant(double constant) const;

private:
    View* view_;
    LayoutAttribute attribute_;
};

}  // namespace qlo::ui
