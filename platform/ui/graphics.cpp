#include "platform/ui/graphics.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/ui/image.h"

namespace qlo::ui {

namespace {

void SetColor(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

}  // namespace

GraphicsContext::GraphicsContext(cairo_t* cr, Size size, bool flipped)
    : cr_(cr), size_(size), flipped_(flipped) {}

Rect GraphicsContext::toDevice(const Rect& rect) const {
    if (flipped_) return rect;
    return {rect.x, size_.height - rect.y - rect.height, rect.width, rect.height};
}

void GraphicsContext::fillRect(const Rect& rect, Color color) {
    const Rect d = toDevice(rect);
    cairo_rectangle(cr_, d.x, d.y, d.width, d.height);
    SetColor(cr_, color);
    cairo_fill(cr_);
}

void GraphicsContext::strokeRect(const Rect& rect, Color color, double lineWidth) {
    const Rect d = toDevice(rect);
    cairo_rectangle(cr_, d.x, d.y, d.width, d.height);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, lineWidth);
    cairo_stroke(cr_);
}

void GraphicsContext::roundedRectPath(const Rect& d, double rx, double ry) {
    rx = std::clamp(rx, 0.0, d.width / 2);
    ry = std::clamp(ry, 0.0, d.height / 2);
    cairo_new_path(cr_);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr_, d.x, d.y, d.width, d.height);
        return;
    }
    // Each corner is a unit-circle quarter scaled to the radii.
    const auto corner = [this](double cx, double cy, double rx, double ry, double from) {
        cairo_save(cr_);
        cairo_translate(cr_, cx, cy);
        cairo_scale(cr_, rx, ry);
        cairo_arc(cr_, 0, 0, 1, from, from + M_PI / 2);
        cairo_restore(cr_);
    };
    corner(d.maxX() - rx, d.y + ry, rx, ry, -M_PI / 2);
    corner(d.maxX() - rx, d.maxY() - ry, rx, ry, 0);
    corner(d.x + rx, d.maxY() - ry, rx, ry, M_PI / 2);
    corner(d.x + rx, d.y + ry, rx, ry, M_PI);
    cairo_close_path(cr_);
}

void GraphicsContext::fillRoundedRect(const Rect& rect, double rx, double ry, Color color) {
    roundedRectPath(toDevice(rect), rx, ry);
    SetColor(cr_, color);
    cairo_fill(cr_);
}

void GraphicsContext::strokeRoundedRect(const Rect& rect, double rx, double ry, Color color,
                                        double lineWidth) {
    roundedRectPath(toDevice(rect), rx, ry);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, lineWidth);
    cairo_stroke(cr_);
}

void GraphicsContext::fillEllipse(const Rect& rect, Color color) {
    roundedRectPath(toDevice(rect), rect.width / 2, rect.height / 2);
    SetColor(cr_, color);
    cairo_fill(cr_);
}

void GraphicsContext::strokeEllipse(const Rect& rect, Color color, double lineWidth) {
    roundedRectPath(toDevice(rect), rect.width / 2, rect.height / 2);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, lineWidth);
    cairo_stroke(cr_);
}

void GraphicsContext::strokeLine(Point from, Point to, Color color, double lineWidth) {
    const Rect a = toDevice({from.x, from.y, 0, 0});
    const Rect b = toDevice({to.x, to.y, 0, 0});
    cairo_new_path(cr_);
    cairo_move_to(cr_, a.x, a.y);
    cairo_line_to(cr_, b.x, b.y);
    SetColor(cr_, color);
    cairo_set_line_width(cr_, lineWidth);
    cairo_stroke(cr_);
}

void GraphicsContext::drawImage(const Image& image, const Rect& rect, std::optional<Color> tint) {
    image.paint(cr_, toDevice(rect), tint);
}

void GraphicsContext::saveGState() { cairo_save(cr_); }
void GraphicsContext::restoreGState() { cairo_restore(cr_); }

void GraphicsContext::clipToRect(const Rect& rect) {
    const Rect d = toDevice(rect);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, d.x, d.y, d.width, d.height);
    cairo_clip(cr_);
}

}  // namespace qlo::ui
