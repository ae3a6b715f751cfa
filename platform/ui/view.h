// The base of the retained view toolkit: a view is a rectangle in its superview, with subviews
// drawn in front of it in order, a hidden flag, and a role naming what kind of element it is
// ("View", "Button", "TextField", ... or a container's own role such as "Toolbar"). Views are
// owned through shared pointers: a superview owns its subviews, a window its content view.
//
// Everything here is used on the main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/geometry.h"

namespace qlo::ui {

class Window;

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
    void setFrame(const Rect& frame) { frame_ = frame; }
    // The frame in the coordinates of the window's content (the sum of the superviews' origins).
    Rect frameInWindow() const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
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

private:
    friend class Window;
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
};

// The live view a handle names, or null when the handle is not a view that exists now. A host
// hands views to plug-ins as opaque handles (the view's address); this is how a plug-in checks
// that what it received is a view before it uses it.
View* ViewFromHandle(const void* handle);

// A number as the toolkit writes it in descriptions: no trailing zeros ("12", "0.5").
std::string FormatNumber(double value);

}  // namespace qlo::ui
