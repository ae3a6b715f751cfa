// A stack view: lines up its arranged views in a row or a column with a spacing, by constraints
// it makes itself. Its arranged views are subviews placed by constraints (their translates-
// autoresizing flag is turned off); hidden ones are left out. The stack hugs its content at its
// own content hugging priority (default 250), so outer constraints can centre and bound it.
//
// Distribution (along the stack, AppKit's values):
//   -1 gravity areas (default): views at their own size, packed from the leading/top edge;
//    0 fill: the views fill the stack, the one that hugs least stretches;
//    1 fill equally: as fill, all of one size;
//    2 fill proportionally: as fill, sizes in proportion to their intrinsic sizes;
//    3 equal spacing: views at their own size, equal gaps, filling the stack;
//    4 equal centering: views at their own size, centres equally far apart, filling the stack.
// Alignment (across the stack, layout attribute values): 1 left, 2 right, 5 leading, 6 trailing,
// 9 centre X, 7 width (fill) for a vertical stack; 3 top, 4 bottom, 10 centre Y, 8 height (fill)
// for a horizontal one. Others centre. Defaults: centre X for vertical, centre Y for horizontal.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/layout_constraint.h"
#include "platform/ui/view.h"

namespace qlo::ui {

enum class StackOrientation { Horizontal, Vertical };

class StackView : public View {
public:
    static constexpr int kDistributionGravityAreas = -1;
    static constexpr int kDistributionFill = 0;
    static constexpr int kDistributionFillEqually = 1;
    static constexpr int kDistributionFillProportionally = 2;
    static constexpr int kDistributionEqualSpacing = 3;
    static constexpr int kDistributionEqualCentering = 4;

    explicit StackView(StackOrientation orientation = StackOrientation::Horizontal);
    ~StackView() override;

    static std::shared_ptr<StackView> stackWithViews(std::vector<std::shared_ptr<View>> views,
                                                     StackOrientation orientation);

    StackOrientation orientation() const { return orientation_; }
    void setOrientation(StackOrientation orientation);
    // Space between neighbouring views (the least space for equal spacing and centering).
    double spacing() const { return spacing_; }
    void setSpacing(double spacing);
    int distribution() const { return distribution_; }
    void setDistribution(int distribution);
    int alignment() const { return alignment_; }
    void setAlignment(int alignment);

    const std::vector<std::shared_ptr<View>>& arrangedSubviews() const { return arranged_; }
    // Adds the view at the end (as a subview too; one already arranged moves to the end).
    void addArrangedSubview(std::shared_ptr<View> view);
    // Stops arranging the view; it stays a subview.
    void removeArrangedSubview(const View& view);

    // Remakes the stack's constraints when its views or settings changed since the last time.
    void updateConstraints() override;

private:
    struct Shape {
        StackOrientation orientation;
        double spacing;
        int distribution;
        int alignment;
        float hugging[2];
        std::vector<std::pair<const View*, bool>> views;  // arranged view, hidden
        std::vector<Size> intrinsic;
        bool operator==(const Shape&) const = default;
    };
    Shape currentShape();
    std::vector<ConstraintPtr> makeConstraints(const std::vector<View*>& views);

    StackOrientation orientation_;
    double spacing_ = 8;
    int distribution_ = kDistributionGravityAreas;
    int alignment_;
    std::vector<std::shared_ptr<View>> arranged_;
    std::vector<ConstraintPtr> own_;
    std::optional<Shape> built_;
};

}  // namespace qlo::ui
