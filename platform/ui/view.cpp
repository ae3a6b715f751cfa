#include "platform/ui/view.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <unordered_set>

namespace qlo::ui {

std::string FormatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

namespace {

// Every view that exists, so that ViewFromHandle can tell a view from any other address.
std::mutex g_liveViewsMutex;
std::unordered_set<const View*>& LiveViews() {
    static auto* views = new std::unordered_set<const View*>();
    return *views;
}

}  // namespace

View* ViewFromHandle(const void* handle) {
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(g_liveViewsMutex);
    auto it = LiveViews().find(static_cast<const View*>(handle));
    return it == LiveViews().end() ? nullptr : const_cast<View*>(*it);
}

View::View(Rect frame, std::string role) : frame_(frame), role_(std::move(role)) {
    std::lock_guard<std::mutex> lock(g_liveViewsMutex);
    LiveViews().insert(this);
}

View::~View() {
    {
        std::lock_guard<std::mutex> lock(g_liveViewsMutex);
        LiveViews().erase(this);
    }
    dropLayoutConstraints();
    // The subviews may outlive this view (someone else holds them): they lose their superview.
    for (const auto& child : subviews_) {
        child->dropConstraintsLeavingSubtree();
        child->superview_ = nullptr;
        child->setWindow(nullptr);
    }
}

Rect View::frameInWindow() const {
    return superview_ != nullptr ? superview_->convertRectToWindow(frame_) : frame_;
}

Rect View::convertRectToWindow(const Rect& rect) const {
    // Up the tree: a rectangle in an unflipped view's coordinates is measured from its bottom
    // edge; turn it top-down, then move it by the view's origin in its superview.
    Rect r = rect;
    for (const View* v = this; v != nullptr; v = v->superview_) {
        if (!v->flipped_) r.y = v->frame_.height - r.y - r.height;
        r = r.offsetBy(v->frame_.x, v->frame_.y);
    }
    return r;
}

void View::setAlphaValue(double alpha) {
    alpha_ = !(alpha > 0) ? 0 : (alpha > 1 ? 1 : alpha);  // NaN counts as 0
}

void View::drawRect(GraphicsContext&, const Rect&) {}

void View::setFrame(const Rect& frame) {
    if (frame == frame_) return;
    const Size oldSize = frame_.size();
    frame_ = frame;
    if (!(oldSize == frame.size())) resizeSubviewsWithOldSize(oldSize);
    setNeedsLayout();
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (const View* v = this; v != nullptr; v = v->superview_) {
        if (v->hidden_) return true;
    }
    return false;
}

bool View::isDescendantOf(const View& other) const {
    for (const View* up = superview_; up != nullptr; up = up->superview_) {
        if (up == &other) return true;
    }
    return false;
}

void View::addSubview(std::shared_ptr<View> view) {
    if (!view) throw std::invalid_argument("addSubview: null view");
    if (view.get() == this || isDescendantOf(*view)) {
        throw std::invalid_argument("addSubview: a view cannot contain itself");
    }
    view->removeFromSuperview();
    view->superview_ = this;
    view->setWindow(window_);
    subviews_.push_back(std::move(view));
    setNeedsLayout();
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (parent == nullptr) return;
    dropConstraintsLeavingSubtree();
    // Keep this view alive until the bookkeeping is done: the superview may hold the last owner.
    std::shared_ptr<View> self;
    auto& siblings = parent->subviews_;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [this](const std::shared_ptr<View>& v) { return v.get() == this; });
    if (it != siblings.end()) {
        self = std::move(*it);
        siblings.erase(it);
    }
    superview_ = nullptr;
    setWindow(nullptr);
    parent->setNeedsLayout();
    setNeedsLayout();
}

void View::removeAllSubviews() {
    for (const auto& child : subviews_) child->dropConstraintsLeavingSubtree();
    std::vector<std::shared_ptr<View>> children;
    children.swap(subviews_);
    for (const auto& child : children) {
        child->superview_ = nullptr;
        child->setWindow(nullptr);
        child->setNeedsLayout();
    }
    setNeedsLayout();
}

void View::setWindow(Window* window) {
    window_ = window;
    for (const auto& child : subviews_) child->setWindow(window);
}

bool View::visitBreadthFirst(const std::function<bool(View&)>& visitor) {
    // Shared owners in the queue: a visitor may change the tree without freeing queued views.
    std::deque<std::shared_ptr<View>> queue;
    std::shared_ptr<View> self = weak_from_this().lock();
    if (self) {
        queue.push_back(self);
    } else if (visitor(*this)) {
        return true;
    } else {
        for (const auto& child : subviews_) queue.push_back(child);
    }
    while (!queue.empty()) {
        std::shared_ptr<View> view = std::move(queue.front());
        queue.pop_front();
        if (visitor(*view)) return true;
        for (const auto& child : view->subviews_) queue.push_back(child);
    }
    return false;
}

View* View::findByIdentifier(const std::string& identifier) {
    View* found = nullptr;
    visitBreadthFirst([&](View& v) {
        if (v.identifier_ != identifier) return false;
        found = &v;
        return true;
    });
    return found;
}

std::string View::describe() const {
    std::string text = role_;
    if (!identifier_.empty()) text += " #" + identifier_;
    text += " (" + FormatNumber(frame_.x) + ", " + FormatNumber(frame_.y) + ", " +
            FormatNumber(frame_.width) + " x " + FormatNumber(frame_.height) + ")";
    if (hidden_) text += " hidden";
    return text;
}

std::string View::dumpTree(int indent) const {
    std::string text = std::string(static_cast<size_t>(indent) * 2, ' ') + describe() + "\n";
    for (const auto& child : subviews_) text += child->dumpTree(indent + 1);
    return text;
}

}  // namespace qlo::ui
