// A window: a title, a frame on the screen and a content view that fills it. Every window is
// known to the Application while it exists (visible or not).
#pragma once

#include <memory>
#include <string>

#include "platform/ui/view.h"

namespace qlo::ui {

class Window {
public:
    // A new window is not visible until orderFront. Its content view is an empty "View".
    Window(std::string title, Rect frame);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // The frame in screen coordinates.
    const Rect& frame() const { return frame_; }
    void setFrame(const Rect& frame);

    View& contentView() const { return *content_; }
    const std::shared_ptr<View>& contentViewPtr() const { return content_; }
    // Replaces the content view; it is resized to fill the window. Null gives an empty view.
    void setContentView(std::shared_ptr<View> view);

    bool isVisible() const { return visible_; }
    void orderFront() { visible_ = true; }
    // Hides the window; it goes on existing until its last owner drops it.
    void close() { visible_ = false; }

    // Lays the content out when anything changed since the last layout (the view tree's
    // constraints solved, frames set); cheap otherwise.
    void layoutIfNeeded();

    // A view's frame in screen coordinates (the window's origin plus its place in the content).
    Rect screenFrameOf(const View& view) const;

    // The cursor shown at a point of the content (top-left coordinates): the cursor rectangles
    // of the visible views are rebuilt (resetCursorRects), the front-most one containing the
    // point wins; Arrow when none does. Defined in cursor.cpp.
    Cursor cursorAt(Point pointInContent);

    // The title line and the content tree, for dumps.
    std::string dumpTree() const;

private:
    std::string title_;
    Rect frame_;
    std::shared_ptr<View> content_;
    bool visible_ = false;
};

}  // namespace qlo::ui
