// Layout constraints: a linear relation between anchors of views, with a priority. The anchors'
// factories make the usual ones (a = b + c, a >= b + c, a <= c); a view that builds its own layout
// (a stack view) may make any linear combination with `linear`.
//
// An active constraint is held by the views it involves and takes part in their tree's layout
// (View::layoutSubtreeIfNeeded); an inactive one does nothing. All of its views must be in one
// view tree when it is activated. When a view leaves its superview, the constraints linking its
// subtree to views outside it are deactivated; when a view is destroyed, every constraint made with
// its anchors is deactivated and can never be activated again.
//
// Main thread only, like the views.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/layout_anchor.h"

namespace qlo::ui {

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
public:
    enum class Relation { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

    // One anchor times a coefficient.
    struct Term {
        View* view;
        LayoutAttribute attribute;
        double coefficient;
    };

    // sum(terms) relation constant, required. Terms must be all positions of one axis or all
    // dimensions (std::invalid_argument otherwise, or when there is no term or a null view).
    static ConstraintPtr linear(std::vector<Term> terms, Relation relation, double constant);

    // Use the factories; public only so that make_shared can reach it.
    LayoutConstraint(std::vector<Term> terms, Relation relation, double constant);
    ~LayoutConstraint();
    LayoutConstraint(const LayoutConstraint&) = delete;
    LayoutConstraint& operator=(const LayoutConstraint&) = delete;

    // The first anchor's view and attribute, and the second anchor's (null for a constant).
    View* firstItem() const;
    LayoutAttribute firstAttribute() const;
    View* secondItem() const;
    const std::vector<Term>& terms() const { return terms_; }
    Relation relation() const { return relation_; }

    // For a = b + c: the c. Changing it on an active constraint re-lays the views out.
    double constant() const { return constant_; }
    void setConstant(double constant);
    // 1000 required (the default), 750 default high, 250 default low; kept within 1 to 1000.
    float priority() const { return priority_; }
    void setPriority(float priority);
    bool isRequired() const { return priority_ >= kLayoutPriorityRequired; }

    // A name shown in descriptions and log lines; empty by default.
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    bool isActive() const { return active_; }
    // Throws std::invalid_argument when activating a constraint whose views are not all in one
    // view tree or one of whose views no longer exists.
    void setActive(bool active);
    // All or nothing: every constraint is checked before any is activated.
    static void activate(const std::vector<ConstraintPtr>& constraints);
    static void deactivate(const std::vector<ConstraintPtr>& constraints);

    // "Button#ok.leading == View#root.leading + 8 @750" (the priority only when not required).
    std::string describe() const;

private:
    friend class View;
    void checkCanActivate() const;
    void forgetView(View* view);
    void markViewsNeedLayout();

    std::vector<Term> terms_;
    Relation relation_;
    double constant_;
    float priority_ = kLayoutPriorityRequired;
    bool active_ = false;
    std::string identifier_;
};

}  // namespace qlo::ui
