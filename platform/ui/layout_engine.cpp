#include "platform/ui/layout_engine.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <unordered_set>

#include "platform/log.h"
#include "platform/ui/layout_constraint.h"
#include "platform/ui/view.h"

namespace qlo::ui {

namespace {

using Expression = ConstraintSolver::Expression;
using SolverRelation = ConstraintSolver::Relation;

// A required constraint that cannot hold is still met as closely as possible, above everything
// that is not required. Sizes are kept from going negative just below that; what the views
// already show is the last resort for anything the constraints leave open.
constexpr double kBrokenRequiredPriority = 999.999;
constexpr double kNonNegativeSizePriority = 999.99;
constexpr double kStayPriority = 0.001;
// One solve, then re-solves while views whose height depends on their width (wrapping text)
// change height at their new width.
constexpr int kMaxPasses = 4;

bool g_inLayout = false;

// The solver's arithmetic leaves noise in the last bits (21.999999999996); frames come out
// exact when the exact value is a multiple of 1/256.
double Snap(double v) {
    const double r = std::round(v * 256) / 256;
    return std::fabs(r - v) < 1e-6 ? r : v;
}

SolverRelation ToSolver(LayoutConstraint::Relation r) {
    switch (r) {
        case LayoutConstraint::Relation::LessThanOrEqual: return SolverRelation::LessOrEqual;
        case LayoutConstraint::Relation::GreaterThanOrEqual: return SolverRelation::GreaterOrEqual;
        case LayoutConstraint::Relation::Equal: break;
    }
    return SolverRelation::Equal;
}

double Priority(float p) { return std::max(1.0, static_cast<double>(p)); }

}  // namespace

AutoresizeShares AutoresizeAxis(bool minFlexible, bool sizeFlexible, bool maxFlexible,
                                double origin, double size, double superviewExtent) {
    const double parts[3] = {origin, size, superviewExtent - origin - size};
    const bool flexible[3] = {minFlexible, sizeFlexible, maxFlexible};
    double total = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (!flexible[i]) continue;
        total += std::max(0.0, parts[i]);
        ++count;
    }
    if (count == 0) return {};
    double share[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!flexible[i]) continue;
        share[i] = total > 0 ? std::max(0.0, parts[i]) / total : 1.0 / count;
    }
    return {share[0], share[1]};
}

// ---- the views' side ------------------------------------------------------------------------

void View::setNeedsLayout() {
    // A flagged view's superviews are flagged too, so the walk stops at the first flagged one.
    for (View* v = this; v != nullptr && !v->needsLayout_; v = v->superview_) {
        v->needsLayout_ = true;
    }
}

void View::layoutSubtreeIfNeeded() {
    View* top = this;
    while (top->superview_ != nullptr) top = top->superview_;
    if (!top->needsLayout_ || g_inLayout) return;
    g_inLayout = true;
    try {
        // Views with derived frames (a scroll view's document, a table's rows) follow the
        // solved frames in viewWillDraw; when that moved anything, solve once more.
        for (int pass = 0; pass < 2 && top->needsLayout_; ++pass) {
            LayoutEngine(*top).run();
            top->visitBreadthFirst([](View& v) {
                v.viewWillDraw();
                return false;
            });
        }
    } catch (...) {
        g_inLayout = false;
        throw;
    }
    g_inLayout = false;
}

void View::setFrameFromLayout(const Rect& frame) {
    if (frame == frame_) return;
    const Size oldSize = frame_.size();
    frame_ = frame;
    if (!(oldSize == frame.size())) resizeSubviewsWithOldSize(oldSize);
}

void View::resizeSubviewsWithOldSize(Size oldSize) {
    const double dw = frame_.width - oldSize.width;
    const double dh = frame_.height - oldSize.height;
    for (const auto& child : subviews_) {
        const unsigned m = child->autoresizingMask_;
        if (!child->translatesMask_ || m == ViewNotSizable) continue;
        const Rect f = child->frame_;
        const AutoresizeShares h = AutoresizeAxis(m & ViewMinXMargin, m & ViewWidthSizable,
                                                  m & ViewMaxXMargin, f.x, f.width, oldSize.width);
        const AutoresizeShares v = AutoresizeAxis(m & ViewMinYMargin, m & ViewHeightSizable,
                                                  m & ViewMaxYMargin, f.y, f.height, oldSize.height);
        child->setFrameFromLayout({f.x + h.originShare * dw, f.y + v.originShare * dh,
                                   f.width + h.sizeShare * dw, f.height + v.sizeShare * dh});
    }
}

// ---- the engine -----------------------------------------------------------------------------

void LayoutEngine::run() {
    std::vector<View*> views;
    std::deque<View*> queue{&top_};
    while (!queue.empty()) {
        View* v = queue.front();
        queue.pop_front();
        views.push_back(v);
        for (const auto& child : v->subviews_) queue.push_back(child.get());
    }
    for (View* v : views) v->updateConstraints();
    for (View* v : views) v->needsLayout_ = false;
    if (!collect()) return;

    // Intrinsic sizes, measured once; a width-dependent height (wrapping text) first at the
    // width the view has now, then again at each solved width until it stops changing.
    for (Item& item : items_) {
        if (item.parent < 0 || item.view->translatesMask_) continue;
        item.intrinsic = item.view->intrinsicContentSize();
        const double h = item.view->intrinsicHeightForWidth(std::max(0.0, item.current.width));
        item.wraps = h >= 0;
        if (item.wraps && item.current.width > 0) {
            item.intrinsic.height = h;
            item.measuredWidth = item.current.width;
        }
    }
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        solve(pass == 0);
        bool changed = false;
        for (Item& item : items_) {
            const double width = std::max(0.0, values_[item.width]);
            if (!item.wraps || width == item.measuredWidth) continue;
            const double h = item.view->intrinsicHeightForWidth(width);
            item.measuredWidth = width;
            if (h >= 0 && std::fabs(h - item.intrinsic.height) > 1e-6) {
                item.intrinsic.height = h;
                changed = true;
            }
        }
        if (!changed) break;
    }
    writeFrames();

    if (!conflicts_.empty()) {
        std::string text;
        for (const auto& c : conflicts_) text += (text.empty() ? "" : "; ") + c;
        log::Log("qlo::ui: unable to satisfy all required layout constraints; kept as close as "
                 "possible: %s", text.c_str());
    }
}

bool LayoutEngine::collect() {
    std::unordered_map<const View*, int> order;  // every view of the tree, breadth first
    std::vector<View*> tree;
    std::deque<View*> queue{&top_};
    while (!queue.empty()) {
        View* v = queue.front();
        queue.pop_front();
        order[v] = static_cast<int>(tree.size());
        tree.push_back(v);
        for (const auto& child : v->subviews_) queue.push_back(child.get());
    }

    std::unordered_set<const LayoutConstraint*> seen;
    std::vector<bool> involved(tree.size(), false);
    for (View* v : tree) {
        for (const auto& c : v->constraints_) {
            if (!seen.insert(c.get()).second) continue;
            const bool inTree = std::all_of(c->terms().begin(), c->terms().end(),
                [&](const LayoutConstraint::Term& t) { return order.count(t.view) != 0; });
            if (!inTree) continue;
            constraints_.push_back(c);
            // A view's place is relative to its superviews: they take part too.
            for (const auto& t : c->terms()) {
                for (const View* up = t.view; up != nullptr; up = up->superview_) {
                    if (involved[order[up]]) break;
                    involved[order[up]] = true;
                }
            }
        }
    }
    if (constraints_.empty()) return false;

    for (size_t i = 0; i < tree.size(); ++i) {
        if (!involved[i]) continue;
        View* v = tree[i];
        Item item{v, -1, {0, 0, v->frame_.width, v->frame_.height}};
        if (v != &top_) {
            item.parent = index_.at(v->superview_);
            const Rect& p = items_[item.parent].current;
            const Rect& f = v->frame_;
            const double y = v->superview_->isFlipped() ? p.y + f.y : p.y + p.height - f.y - f.height;
            item.current = {p.x + f.x, y, f.width, f.height};
        }
        index_[v] = static_cast<int>(items_.size());
        items_.push_back(item);
    }
    return true;
}

namespace {

// An anchor of a view as an expression of its four variables, added with a coefficient.
void AddAnchor(Expression& e, int left, int top, int width, int height, LayoutAttribute a,
               double coefficient) {
    switch (a) {
        case LayoutAttribute::Leading: e.terms.push_back({left, coefficient}); break;
        case LayoutAttribute::Trailing:
            e.terms.push_back({left, coefficient});
            e.terms.push_back({width, coefficient});
            break;
        case LayoutAttribute::CenterX:
            e.terms.push_back({left, coefficient});
            e.terms.push_back({width, coefficient * 0.5});
            break;
        case LayoutAttribute::Width: e.terms.push_back({width, coefficient}); break;
        case LayoutAttribute::Top: e.terms.push_back({top, coefficient}); break;
        case LayoutAttribute::Bottom:
            e.terms.push_back({top, coefficient});
            e.terms.push_back({height, coefficient});
            break;
        case LayoutAttribute::CenterY:
            e.terms.push_back({top, coefficient});
            e.terms.push_back({height, coefficient * 0.5});
            break;
        case LayoutAttribute::Height: e.terms.push_back({height, coefficient}); break;
    }
}

Expression Linear(std::vector<ConstraintSolver::Term> terms, double constant) {
    return Expression{std::move(terms), constant};
}

std::string ViewName(const View& v) {
    return v.identifier().empty() ? v.role() : v.role() + "#" + v.identifier();
}

}  // namespace

void LayoutEngine::addRequired(ConstraintSolver& solver, const Expression& e, SolverRelation r,
                               const std::string& what) {
    if (solver.addConstraint(e, r, ConstraintSolver::kRequired)) return;
    solver.addConstraint(e, r, kBrokenRequiredPriority);
    if (logging_) conflicts_.push_back(what);
}

void LayoutEngine::pin(ConstraintSolver& s, const Item& item) {
    View& v = *item.view;
    const std::string what = ViewName(v) + " frame";
    if (item.parent < 0) {
        addRequired(s, Linear({{item.left, 1}}, 0), SolverRelation::Equal, what);
        addRequired(s, Linear({{item.top, 1}}, 0), SolverRelation::Equal, what);
        addRequired(s, Linear({{item.width, 1}}, -item.current.width), SolverRelation::Equal, what);
        addRequired(s, Linear({{item.height, 1}}, -item.current.height), SolverRelation::Equal, what);
        return;
    }
    // The frame as the autoresizing mask makes it follow the superview's size: linear in the
    // superview's solved width and height, equal to the frame now at the superview's size now.
    const Item& p = items_[item.parent];
    const Size was = p.view->frame_.size();
    const Rect& f = v.frame_;
    const unsigned m = v.autoresizingMask_;
    const AutoresizeShares h = AutoresizeAxis(m & View::ViewMinXMargin, m & View::ViewWidthSizable,
                                              m & View::ViewMaxXMargin, f.x, f.width, was.width);
    const AutoresizeShares vs = AutoresizeAxis(m & View::ViewMinYMargin, m & View::ViewHeightSizable,
                                               m & View::ViewMaxYMargin, f.y, f.height, was.height);
    // width = f.width + sizeShare * (P.width - was.width), and so on.
    addRequired(s, Linear({{item.width, 1}, {p.width, -h.sizeShare}}, -(f.width - h.sizeShare * was.width)),
                SolverRelation::Equal, what);
    addRequired(s, Linear({{item.left, 1}, {p.left, -1}, {p.width, -h.originShare}},
                          -(f.x - h.originShare * was.width)),
                SolverRelation::Equal, what);
    addRequired(s, Linear({{item.height, 1}, {p.height, -vs.sizeShare}},
                          -(f.height - vs.sizeShare * was.height)),
                SolverRelation::Equal, what);
    const double y0 = f.y - vs.originShare * was.height;  // frame y = y0 + originShare * P.height
    if (p.view->isFlipped()) {
        addRequired(s, Linear({{item.top, 1}, {p.top, -1}, {p.height, -vs.originShare}}, -y0),
                    SolverRelation::Equal, what);
    } else {
        // Measured from the superview's bottom edge: top = P.top + P.height - frame y - height.
        addRequired(s, Linear({{item.top, 1}, {p.top, -1}, {p.height, vs.originShare - 1},
                               {item.height, 1}}, y0),
                    SolverRelation::Equal, what);
    }
}

void LayoutEngine::solve(bool logConflicts) {
    ++passes_;
    logging_ = logConflicts;
    ConstraintSolver s;
    for (Item& item : items_) {
        item.left = s.addVariable();
        item.top = s.addVariable();
        item.width = s.addVariable();
        item.height = s.addVariable();
    }
    for (const Item& item : items_) {
        if (item.parent < 0 || item.view->translatesMask_) pin(s, item);
    }
    for (const auto& c : constraints_) {
        Expression e;
        for (const auto& t : c->terms()) {
            const Item& item = items_[index_.at(t.view)];
            AddAnchor(e, item.left, item.top, item.width, item.height, t.attribute, t.coefficient);
        }
        e.constant = -c->constant();
        if (c->isRequired()) {
            addRequired(s, e, ToSolver(c->relation()), c->describe());
        } else {
            s.addConstraint(e, ToSolver(c->relation()), Priority(c->priority()));
        }
    }
    for (const Item& item : items_) {
        View& v = *item.view;
        if (item.parent < 0 || v.translatesMask_) continue;
        // Intrinsic size: no larger than it at the hugging priority, no smaller at the
        // compression resistance priority.
        const double sizes[2] = {item.intrinsic.width, item.intrinsic.height};
        const int vars[2] = {item.width, item.height};
        for (int axis = 0; axis < 2; ++axis) {
            if (sizes[axis] >= 0) {
                const Expression e = Linear({{vars[axis], 1}}, -sizes[axis]);
                const std::string what = ViewName(v) + (axis == 0 ? " width" : " height");
                for (const auto& [priority, relation] :
                     {std::pair{v.hugging_[axis], SolverRelation::LessOrEqual},
                      std::pair{v.compression_[axis], SolverRelation::GreaterOrEqual}}) {
                    if (priority >= kLayoutPriorityRequired) {
                        addRequired(s, e, relation, what + " (intrinsic size)");
                    } else {
                        s.addConstraint(e, relation, Priority(priority));
                    }
                }
            }
            s.addConstraint(Linear({{vars[axis], 1}}, 0), SolverRelation::GreaterOrEqual,
                            kNonNegativeSizePriority);
        }
        const Rect& now = item.current;
        s.addConstraint(Linear({{item.left, 1}}, -now.x), SolverRelation::Equal, kStayPriority);
        s.addConstraint(Linear({{item.top, 1}}, -now.y), SolverRelation::Equal, kStayPriority);
        s.addConstraint(Linear({{item.width, 1}}, -now.width), SolverRelation::Equal, kStayPriority);
        s.addConstraint(Linear({{item.height, 1}}, -now.height), SolverRelation::Equal, kStayPriority);
    }
    if (s.hitPivotLimit() && logging_) conflicts_.push_back("(solver pivot limit reached)");
    values_.assign(static_cast<size_t>(4 * items_.size()), 0);
    for (const Item& item : items_) {
        for (int var : {item.left, item.top, item.width, item.height}) values_[var] = s.value(var);
    }
}

void LayoutEngine::writeFrames() {
    // Superviews first: a new size autoresizes the subviews that keep their frames, and the
    // constrained subviews are placed relative to the superview's solved frame.
    for (const Item& item : items_) {
        if (item.parent < 0 || item.view->translatesMask_) continue;
        const Item& p = items_[item.parent];
        const double left = values_[item.left] - values_[p.left];
        const double top = values_[item.top] - values_[p.top];
        const double width = values_[item.width];
        const double height = values_[item.height];
        const double y = p.view->isFlipped() ? top : values_[p.height] - top - height;
        item.view->setFrameFromLayout(
            {Snap(left), Snap(y), Snap(std::max(0.0, width)), Snap(std::max(0.0, height))});
    }
}

}  // namespace qlo::ui
