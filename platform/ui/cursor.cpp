// Cursor rectangles: Window::cursorAt rebuilds them from the visible views and finds the
// front-most one under a point.
#include "platform/ui/cursor.h"

#include <algorithm>

#include "platform/ui/window.h"

namespace qlo::ui {

namespace {

Rect Intersection(const Rect& a, const Rect& b) {
    const double x0 = std::max(a.x, b.x);
    const double y0 = std::max(a.y, b.y);
    const double x1 = std::min(a.maxX(), b.maxX());
    const double y1 = std::min(a.maxY(), b.maxY());
    if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
    return {x0, y0, x1 - x0, y1 - y0};
}

// Visits the views in drawing order (a view before its subviews, subviews back to front), so
// the last match is the front-most. `clip` is what the superviews leave visible, in window
// content coordinates; a view shows only inside its own bounds.
void Collect(View& view, const Rect& clip, Point point, Cursor& found) {
    if (view.isHidden()) return;
    const Rect visible = Intersection(clip, view.convertRectToWindow(
                                                {0, 0, view.frame().width, view.frame().height}));
    view.discardCursorRects();
    view.resetCursorRects();
    for (const CursorRect& cursorRect : view.cursorRects()) {
        if (Intersection(visible, view.convertRectToWindow(cursorRect.rect)).contains(point)) {
            found = cursorRect.cursor;
        }
    }
    // A copy: resetCursorRects may not change the tree, but keep the walk safe if it does.
    const std::vector<std::shared_ptr<View>> subviews = view.subviews();
    for (const auto& child : subviews) Collect(*child, visible, point, found);
}

}  // namespace

const char* CursorName(Cursor cursor) {
    switch (cursor) {
        case Cursor::Arrow: return "arrow";
        case Cursor::PointingHand: return "pointingHand";
        case Cursor::IBeam: return "IBeam";
    }
    return "arrow";
}

Cursor Window::cursorAt(Point pointInContent) {
    Cursor found = Cursor::Arrow;
    layoutIfNeeded();
    View& content = contentView();
    const Rect all{0, 0, frame().width, frame().height};
    Collect(content, all, pointInContent, found);
    return found;
}

}  // namespace qlo::ui
