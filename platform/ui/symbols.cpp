// The toolkit's own drawings of the system symbols it knows. Each draws opaque black into a
// width x height box (y down); the image then tints the result. Parts cut out of a shape are
// cleared, so a symbol is always drawn into a group of its own.
#include "platform/ui/symbols.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace qlo::ui::symbols {

namespace {

double LineWidth(double width, double height, double weight) {
    return std::min(width, height) * 0.11 * weight;
}

void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// An almond with a ring cut out around a round pupil.
void EyePath(cairo_t* cr, double x, double y, double w, double h) {
    cairo_move_to(cr, x + 0.02 * w, y + 0.5 * h);
    cairo_curve_to(cr, x + 0.28 * w, y - 0.08 * h, x + 0.72 * w, y - 0.08 * h, x + 0.98 * w, y + 0.5 * h);
    cairo_curve_to(cr, x + 0.72 * w, y + 1.08 * h, x + 0.28 * w, y + 1.08 * h, x + 0.02 * w, y + 0.5 * h);
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + 0.5 * w, y + 0.5 * h, 0.34 * h, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + 0.5 * w, y + 0.5 * h, 0.2 * h, 0, 2 * M_PI);
}

void Eye(cairo_t* cr, double w, double h, double) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    EyePath(cr, 0, 0, w, h);
    cairo_fill(cr);
}

void EyeSlash(cairo_t* cr, double w, double h, double weight) {
    // The eye in the middle of a slightly taller box, crossed by a slash with a gap around it.
    const double eyeH = h * 0.84;
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    EyePath(cr, 0, (h - eyeH) / 2, w, eyeH);
    cairo_fill(cr);
    const double lw = LineWidth(w, h, weight);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 0.14 * w, 0.04 * h);
    cairo_line_to(cr, 0.86 * w, 0.96 * h);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_set_line_width(cr, lw * 3);
    cairo_stroke_preserve(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_line_width(cr, lw * 1.2);
    cairo_stroke(cr);
}

void IPhone(cairo_t* cr, double w, double h, double weight) {
    const double lw = LineWidth(w, h, weight) * 0.9;
    RoundedRectPath(cr, lw / 2, lw / 2, w - lw, h - lw, w * 0.2);
    cairo_set_line_width(cr, lw);
    cairo_stroke(cr);
    // The earpiece.
    RoundedRectPath(cr, w * 0.34, h * 0.07 + lw / 2, w * 0.32, h * 0.055, h * 0.03);
    cairo_fill(cr);
}

void AppleLogo(cairo_t* cr, double w, double h, double) {
    // The body, with the bite on the right.
    cairo_move_to(cr, 0.5 * w, 0.3 * h);
    cairo_curve_to(cr, 0.35 * w, 0.2 * h, 0.05 * w, 0.22 * h, 0.05 * w, 0.55 * h);
    cairo_curve_to(cr, 0.05 * w, 0.8 * h, 0.2 * w, 0.99 * h, 0.32 * w, 0.99 * h);
    cairo_curve_to(cr, 0.42 * w, 0.99 * h, 0.45 * w, 0.94 * h, 0.5 * w, 0.94 * h);
    cairo_curve_to(cr, 0.55 * w, 0.94 * h, 0.58 * w, 0.99 * h, 0.68 * w, 0.99 * h);
    cairo_curve_to(cr, 0.8 * w, 0.99 * h, 0.92 * w, 0.8 * h, 0.96 * w, 0.66 * h);
    cairo_curve_to(cr, 0.78 * w, 0.58 * h, 0.78 * w, 0.38 * h, 0.92 * w, 0.33 * h);
    cairo_curve_to(cr, 0.8 * w, 0.2 * h, 0.62 * w, 0.22 * h, 0.5 * w, 0.3 * h);
    cairo_close_path(cr);
    // The leaf.
    cairo_move_to(cr, 0.5 * w, 0.23 * h);
    cairo_curve_to(cr, 0.5 * w, 0.12 * h, 0.6 * w, 0.02 * h, 0.73 * w, 0.0 * h);
    cairo_curve_to(cr, 0.73 * w, 0.12 * h, 0.63 * w, 0.21 * h, 0.5 * w, 0.23 * h);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void Play(cairo_t* cr, double w, double h, double weight) {
    const double lw = LineWidth(w, h, weight);
    cairo_move_to(cr, 0.12 * w, 0.08 * h);
    cairo_line_to(cr, 0.94 * w, 0.5 * h);
    cairo_line_to(cr, 0.12 * w, 0.92 * h);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, lw);
    cairo_fill_preserve(cr);
    cairo_stroke(cr);  // rounds the corners
}

void RectangleSplit(cairo_t* cr, double w, double h, double weight) {
    const double lw = LineWidth(w, h, weight) * 0.9;
    RoundedRectPath(cr, lw / 2, lw / 2, w - lw, h - lw, h * 0.16);
    cairo_move_to(cr, w / 2, lw / 2);
    cairo_line_to(cr, w / 2, h - lw / 2);
    cairo_set_line_width(cr, lw);
    cairo_stroke(cr);
}

constexpr Symbol kSymbols[] = {
    {"eye.fill", 1.45, 0.9, Eye},
    {"eye.slash.fill", 1.45, 1.05, EyeSlash},
    {"iphone", 0.62, 1.1, IPhone},
    {"apple.logo", 0.85, 1.0, AppleLogo},
    {"play.fill", 0.8, 0.95, Play},
    {"rectangle.split.2x1", 1.4, 1.0, RectangleSplit},
};

}  // namespace

const Symbol* Find(const std::string& name) {
    for (const Symbol& symbol : kSymbols) {
        if (name == symbol.name) return &symbol;
    }
    return nullptr;
}

const Symbol* begin() { return std::begin(kSymbols); }
const Symbol* end() { return std::end(kSymbols); }

void DrawStatusAvailable(cairo_t* cr, double w, double h, double) {
    const double radius = std::min(w, h) * 0.36;
    cairo_arc(cr, w / 2, h / 2, radius, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.2, 0.78, 0.3);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.1, 0.55, 0.16);
    cairo_set_line_width(cr, std::max(0.5, radius * 0.15));
    cairo_stroke(cr);
}

}  // namespace qlo::ui::symbols
