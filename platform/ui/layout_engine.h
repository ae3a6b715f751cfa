// The layout pass of a view tree: turns the tree's active constraints, its views' intrinsic sizes
// and the frames of the views that keep their frames into one linear system, solves it, and sets
// the frames of the constrained views. Used through View::layoutSubtreeIfNeeded.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/geometry.h"
#include "platform/ui/layout_solver.h"

namespace qlo::ui {

class View;
class LayoutConstraint;

// How one axis of a frame follows a change of its superview's extent by delta, given the
// autoresizing mask's three flags for that axis: origin += originShare * delta and
// size += sizeShare * delta. The flexible parts share the change in proportion to their current
// extents (equally when those are all zero); with none flexible, nothing moves.
struct AutoresizeShares {
    double originShare = 0;
    double sizeShare = 0;
};
AutoresizeShares AutoresizeAxis(bool minFlexible, bool sizeFlexible, bool maxFlexible,
                                double origin, double size, double superviewExtent);

class LayoutEngine {
public:
    explicit LayoutEngine(View& top) : top_(top) {}
    // Brings the tree's own constraints up to date, solves, sets the frames.
    void run();

    // Solves done by this engine's run (one more per re-measure of wrapping views).
    int passes() const { return passes_; }

private:
    struct Item {
        View* view;
        int parent;  // index of the superview's item, -1 for the top
        Rect current;  // the frame now, in the top view's top-down coordinates
        int left = -1, top = -1, width = -1, height = -1;  // solver variables
        // Constrained views: the content size, and for width-dependent heights the width the
        // height was measured at.
        Size intrinsic{-1, -1};
        bool wraps = false;
        double measuredWidth = -1;
    };
    bool collect();
    // One solve with the items' intrinsic sizes; required constraints that cannot hold are
    // noted for the log line when logConflicts is set.
    void solve(bool logConflicts);
    void addRequired(ConstraintSolver& solver, const ConstraintSolver::Expression& e,
                     ConstraintSolver::Relation r, const std::string& what);
    void pin(ConstraintSolver& solver, const Item& item);
    void writeFrames();

    View& top_;
    std::vector<Item> items_;
    std::unordered_map<const View*, int> index_;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
    std::vector<double> values_;  // solved variables
    std::vector<std::string> conflicts_;
    int passes_ = 0;
    bool logging_ = false;
};

}  // namespace qlo::ui
