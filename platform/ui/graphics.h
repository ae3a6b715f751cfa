// Drawing into a view: a GraphicsContext wraps a Cairo context whose origin is the view's
// top-left corner (y down, one unit a point) and takes rectangles in the VIEW's coordinates,
// so an unflipped view draws with y growing upward from its bottom edge. Text is laid out with
// Pango in the system font ("DejaVu Sans", else the system's "Sans").
#pragma once

#include <optional>
#include <string>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"

typedef struct _cairo cairo_t;

namespace qlo::ui {

class Image;

enum class TextVerticalPlacement { Top, Center };

class GraphicsContext {
public:
    // `size` is the view's size, `flipped` its flippedness.
    GraphicsContext(cairo_t* cr, Size size, bool flipped);

    cairo_t* cairo() const { return cr_; }
    Size size() const { return size_; }
    bool isFlipped() const { return flipped_; }
    Rect bounds() const { return {0, 0, size_.width, size_.height}; }
    // A rectangle in the view's coordinates as Cairo's (top-left origin, y down).
    Rect toDevice(const Rect& rect) const;
    // A rectangle measured top-down (y from the top edge) in the view's coordinates: itself in
    // a flipped view, mirrored in an unflipped one. For drawing placed from the top.
    Rect fromTopDown(const Rect& rect) const { return toDevice(rect); }

    void fillRect(const Rect& rect, Color color);
    // The line is centred on the rectangle's edge.
    void strokeRect(const Rect& rect, Color color, double lineWidth);
    // Corners are quarter ellipses of radii rx, ry (clamped to half the sides).
    void fillRoundedRect(const Rect& rect, double rx, double ry, Color color);
    void strokeRoundedRect(const Rect& rect, double rx, double ry, Color color, double lineWidth);
    void fillEllipse(const Rect& rect, Color color);
    void strokeEllipse(const Rect& rect, Color color, double lineWidth);
    void strokeLine(Point from, Point to, Color color, double lineWidth);

    // Text laid out in the rectangle's width per the style (wrapping, truncating with an
    // ellipsis, at most maximumNumberOfLines lines), aligned in it, at its top or centred
    // vertically, and clipped to it.
    void drawText(const std::string& text, const Rect& rect, const TextStyle& style, Color color,
                  TextVerticalPlacement placement = TextVerticalPlacement::Top);
    // The image stretched to the rectangle; template images take the tint (or the label colour).
    void drawImage(const Image& image, const Rect& rect, std::optional<Color> tint = std::nullopt);

    // Save and restore the clip and the drawing state; clip to a rectangle of the view.
    void saveGState();
    void restoreGState();
    void clipToRect(const Rect& rect);

private:
    void roundedRectPath(const Rect& device, double rx, double ry);

    cairo_t* cr_;
    Size size_;
    bool flipped_;
};

// The size text takes when laid out per the style: for width < 0 on unbounded lines (only line
// breaks in the text start new lines), otherwise wrapped or truncated at that width. The width
// is the widest line's, the height that of at most maximumNumberOfLines lines. Whole points
// (rounded up).
Size MeasureText(const std::string& text, const TextStyle& style, double width = -1);

}  // namespace qlo::ui
