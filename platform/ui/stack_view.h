// A stack view: lines up its arranged views in a row or a column with a spacing, by constraints
// it makes itself. Its arranged views are subviews placed by constraints (their translates-
// autoresizing flag is turned off); hidden ones are left out. The stack hugs its content at its
// own content hugging priority (default 250), so outer constraints can centre and bound it.
//
// Distribution along the stack and alignment across it: see StackDistribution and
// StackAlignment. Defaults: gravity areas; centre X for a vertical stack, centre Y for a
// horizontal one.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/layout_constraint.h"
#include "platform/ui/view.h"

namespace qlo::ui {

enum class StackOrientation { Horizontal, Vertical };

// How the arranged views share the length of the stack (AppKit's values).
enum class StackDistribution : int {
    GravityAreas = -1,       // views at their own size, packed from the leading/top edge
    Fill = 0,                // the views fill the stack, the one that hugs least stretches
    FillEqually = 1,         // as Fill, all of one size
    FillProportionally = 2,  // as Fill, sizes in proportion to their intrinsic sizes
    EqualSpacing = 3,        // views at their own size, equal gaps, filling the stack
    EqualCentering = 4,      // views at their own size, centres equally far apart, filling it
};

// Where the arranged views sit across the stack (AppKit's layout attribute values). A vertical
// stack uses Left/Leading, Right/Trailing, CenterX and Width (fill); a horizontal one Top,
// Bottom, CenterY and Height (fill). A value that does not apply to the orientation centres.
enum class StackAlignment : int {
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
};

class StackView : public View {
public:
    explicit StackView(StackOrientation orientation = StackOrientation::Horizontal);
    ~StackView() override;

    static std::shared_ptr<StackView> stackWithViews(std::vector<std::shared_ptr<View>> views,
                                                     StackOrientation orientation);

    StackOrientation orientation() const { return orientation_; }
    void setOrientation(StackOrientation orientation);
    // Space between neighbouring views (the least space for equal spacing and centering).
    double spacing() const { return spacing_; }
    void setSpacing(double spacing);
    StackDistribution distribution() const { return distribution_; }
    void setDistribution(StackDistribution distribution);
    StackAlignment alignment() const { return alignment_; }
    void setAlignment(StackAlignment alignment);

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
        StackDistribution distribution;
        StackAlignment alignment;
        float hugging[2];
        std::vector<std::pair<const View*, bool>> views;  // arranged view, hidden
        std::vector<Size> intrinsic;
        bool operator==(const Shape&) const = default;
    };
    Shape currentShape();
    std::vector<ConstraintPtr> makeConstraints(const std::vector<View*>& views);

    StackOrientation orientation_;
    double spacing_ = 8;
    StackDistribution distribution_ = StackDistribution::GravityAreas;
    StackAlignment alignment_;
    std::vector<std::shared_ptr<View>> arranged_;
    std::vector<ConstraintPtr> own_;
    std::optional<Shape> built_;
};

}  // namespace qlo::ui
