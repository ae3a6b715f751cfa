// The base of the retained view toolkit: a view is a rectangle in its superview, with subviews
// drawn in front of it in order, a hidden flag, and a role naming what kind of element it is
// ("View", "Button", "TextField", ... or a container's own role such as "Toolbar"). Views are
// owned through shared pointers: a superview owns its subviews, a window its content view.
//
// Everything here is used on the main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/cursor.h"
#include "platform/ui/geometry.h"
#include "platform/ui/layout_anchor.h"

namespace qlo::ui {

class Window;
class GraphicsContext;

class View : public std::enable_shared_from_this<View> {
public:
    explicit View(Rect frame = {}, std::string role = "View");
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // What kind of element this is; set by the subclasses, changeable for containers.
    const std::string& role() const { return role_; }
    void setRole(std::string role) { role_ = std::move(role); }
    // A name for finding the view (never shown); empty by default.
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    // Text that describes the view to assistive tools; empty by default.
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string text) { toolTip_ = std::move(text); }

    // What the view is, for assistive tools, when its title does not say it (the accessibility
    // description); empty by default.
    const std::string& accessibilityDescription() const { return axDescription_; }
    void setAccessibilityDescription(std::string text) { axDescription_ = std::move(text); }

    // The frame in the superview's coordinates.
    const Rect& frame() const { return frame_; }
    // A new size resizes the subviews that follow their autoresizing mask; any change makes the
    // tree lay out again the next time layout is asked for.
    void setFrame(const Rect& frame);
    // The frame in the coordinates of the window's content (the sum of the superviews' origins).
    Rect frameInWindow() const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) {
        if (hidden == hidden_) return;
        hidden_ = hidden;
        setNeedsLayout();  // stack views leave hidden views out
    }
    // Hidden itself or inside a hidden superview.
    bool isHiddenOrHasHiddenAncestor() const;

    // ---- the view tree ------------------------------------------------------------------
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    View* superview() const { return superview_; }
    // The window whose content this view is part of; null when it is in no window.
    Window* window() const { return window_; }

    // Adds a view in front of the other subviews. A view that already has a superview moves
    // here. Throws std::invalid_argument for null, for this view or one of its superviews.
    void addSubview(std::shared_ptr<View> view);
    // Takes the view out of its superview (which may drop the last owner of it).
    void removeFromSuperview();
    void removeAllSubviews();
    bool isDescendantOf(const View& other) const;

    // Visits this view and every view below it breadth-first (a level in subview order before
    // the next level) until the visitor returns true. Returns whether a visitor returned true.
    bool visitBreadthFirst(const std::function<bool(View&)>& visitor);
    // The first view in breadth-first order with that identifier; null when none.
    View* findByIdentifier(const std::string& identifier);

    // One line about this view: its role, what it shows, its frame and the hidden flag.
    virtual std::string describe() const;
    // This view and everything below it, one line each, indented by depth.
    std::string dumpTree(int indent = 0) const;

    // ---- drawing and cursor rectangles (drawing in graphics.cpp, cursors in cursor.cpp) -----
    // A flipped view (the default) has y growing downward from its top edge; an unflipped one
    // has y growing upward from its bottom edge. Subview frames and drawing are in these
    // coordinates.
    bool isFlipped() const { return flipped_; }
    void setFlipped(bool flipped) {
        if (flipped == flipped_) return;
        flipped_ = flipped;
        setNeedsLayout();  // the subviews' frames mean other places now
    }
    // A layer-backed view fills its layer background colour (when set) behind its content.
    bool wantsLayer() const { return wantsLayer_; }
    void setWantsLayer(bool wants) { wantsLayer_ = wants; }
    const std::optional<Color>& layerBackgroundColor() const { return layerBackground_; }
    void setLayerBackgroundColor(std::optional<Color> color) { layerBackground_ = color; }
    // Opacity of the view and everything below it, 0 to 1 (clamped).
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double alpha);
    // Draws the view's own content in its own coordinates; the default draws nothing.
    virtual void drawRect(GraphicsContext& context, const Rect& dirtyRect);
    // Called on every view of a tree, top down, right before the tree is drawn: the place to
    // bring derived frames up to date (a scroll view sizes its document view here).
    virtual void viewWillDraw() {}
    // A rectangle in this view's coordinates converted to the window content's (top-left).
    Rect convertRectToWindow(const Rect& rect) const;

    // Cursor rectangles, in this view's coordinates. Window::cursorAt discards and rebuilds
    // them through resetCursorRects (default: none) on every visible view.
    virtual void resetCursorRects() {}
    void addCursorRect(const Rect& rect, Cursor cursor) { cursorRects_.push_back({rect, cursor}); }
    void discardCursorRects() { cursorRects_.clear(); }
    const std::vector<CursorRect>& cursorRects() const { return cursorRects_; }

    // ---- layout: anchors, constraints, intrinsic size, autoresizing (layout_*.cpp) ----------
    LayoutAnchor leadingAnchor() { return {this, LayoutAttribute::Leading}; }
    LayoutAnchor trailingAnchor() { return {this, LayoutAttribute::Trailing}; }
    LayoutAnchor topAnchor() { return {this, LayoutAttribute::Top}; }
    LayoutAnchor bottomAnchor() { return {this, LayoutAttribute::Bottom}; }
    LayoutAnchor centerXAnchor() { return {this, LayoutAttribute::CenterX}; }
    LayoutAnchor centerYAnchor() { return {this, LayoutAttribute::CenterY}; }
    LayoutAnchor widthAnchor() { return {this, LayoutAttribute::Width}; }
    LayoutAnchor heightAnchor() { return {this, LayoutAttribute::Height}; }
    // The active constraints that involve this view.
    const std::vector<ConstraintPtr>& constraints() const { return constraints_; }

    // True (the default): the view keeps the frame it is given, and follows its superview's size
    // through the autoresizing mask. False: its active constraints place it.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    // Which parts of the frame stretch when the superview's size changes (AutoresizingMask bits,
    // in frame coordinates: MinY is the top margin in a flipped superview).
    enum AutoresizingMask : unsigned {
        ViewNotSizable = 0,
        ViewMinXMargin = 1,
        ViewWidthSizable = 2,
        ViewMaxXMargin = 4,
        ViewMinYMargin = 8,
        ViewHeightSizable = 16,
        ViewMaxYMargin = 32,
    };
    AutoresizingMask autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(AutoresizingMask mask) { autoresizingMask_ = mask; }

    // The size the content wants; kNoIntrinsicMetric for a component it does not have.
    virtual Size intrinsicContentSize() const { return {kNoIntrinsicMetric, kNoIntrinsicMetric}; }
    // The height the content wants at a given width (wrapping text); kNoIntrinsicMetric when the
    // height does not depend on the width.
    virtual double intrinsicHeightForWidth(double /*width*/) const { return kNoIntrinsicMetric; }
    // To be called when what intrinsicContentSize returns has changed.
    void invalidateIntrinsicContentSize() { setNeedsLayout(); }
    // How strongly the view resists growing beyond (hugging, default 250) and shrinking below
    // (compression resistance, default 750) its intrinsic size.
    float contentHuggingPriority(Orientation orientation) const;
    void setContentHuggingPriority(float priority, Orientation orientation);
    float contentCompressionResistancePriority(Orientation orientation) const;
    void setContentCompressionResistancePriority(float priority, Orientation orientation);

    // Marks the view tree this view is in as needing layout.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // When anything changed since the last layout, solves the active constraints of the view tree
    // this view is in and sets the frames they decide; otherwise returns at once.
    void layoutSubtreeIfNeeded();
    // Called on every view of the tree, top down, before its constraints are solved: a view that
    // makes its own constraints (a stack view) brings them up to date here.
    virtual void updateConstraints() {}

private:
    friend class Window;
    friend class LayoutConstraint;
    friend class LayoutEngine;
    void setWindow(Window* window);

    Rect frame_;
    std::string role_;
    std::string identifier_;
    std::string toolTip_;
    std::string axDescription_;
    bool hidden_ = false;
    std::vector<std::shared_ptr<View>> subviews_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    // drawing and cursor rectangles
    bool flipped_ = true;
    bool wantsLayer_ = false;
    std::optional<Color> layerBackground_;
    double alpha_ = 1.0;
    std::vector<CursorRect> cursorRects_;
    // layout (layout_constraint.cpp, layout_engine.cpp)
    void setFrameFromLayout(const Rect& frame);
    void resizeSubviewsWithOldSize(Size oldSize);
    void dropConstraintsLeavingSubtree();
    void dropLayoutConstraints();
    bool translatesMask_ = true;
    AutoresizingMask autoresizingMask_ = ViewNotSizable;
    float hugging_[2] = {kLayoutPriorityDefaultLow, kLayoutPriorityDefaultLow};
    float compression_[2] = {kLayoutPriorityDefaultHigh, kLayoutPriorityDefaultHigh};
    bool needsLayout_ = false;
    std::vector<ConstraintPtr> constraints_;
    std::vector<std::weak_ptr<LayoutConstraint>> anchoredConstraints_;
};

// The autoresizing bits by their plain names (ViewWidthSizable ...), as well as View::...
using enum View::AutoresizingMask;
// Several autoresizing bits together (ViewMinXMargin | ViewMaxXMargin).
constexpr View::AutoresizingMask operator|(View::AutoresizingMask a, View::AutoresizingMask b) {
    return static_cast<View::AutoresizingMask>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// The live view a handle names, or null when the handle is not a view that exists now. A host
// hands views to plug-ins as opaque handles (the view's address); this is how a plug-in checks
// that what it received is a view before it uses it.
View* ViewFromHandle(const void* handle);

// A number as the toolkit writes it in descriptions: no trailing zeros ("12", "0.5").
std::string FormatNumber(double value);

}  // namespace qlo::ui
