// Text layout with Pango: one shared Pango context with fixed font options, so that measuring
// (no surface at hand) and drawing lay out the same text identically.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

// Pango's font maps and contexts are not thread-safe: every use holds this lock.
std::mutex g_pangoMutex;

PangoContext* SharedContext() {
    static PangoContext* context = [] {
        PangoFontMap* map = pango_cairo_font_map_new();
        PangoContext* c = pango_font_map_create_context(map);
        g_object_unref(map);  // the context keeps it
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(c, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(c, FALSE);
        return c;
    }();
    return context;
}

PangoWeight ToPango(FontWeight weight) {
    switch (weight) {
        case FontWeight::Regular: return PANGO_WEIGHT_NORMAL;
        case FontWeight::Medium: return PANGO_WEIGHT_MEDIUM;
        case FontWeight::Semibold: return PANGO_WEIGHT_SEMIBOLD;
        case FontWeight::Bold: return PANGO_WEIGHT_BOLD;
    }
    return PANGO_WEIGHT_NORMAL;
}

bool IsTruncating(LineBreakMode mode) {
    return mode == LineBreakMode::TruncatingHead || mode == LineBreakMode::TruncatingTail ||
           mode == LineBreakMode::TruncatingMiddle;
}

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

// A layout of the text per the style; width < 0 lays out unbounded lines.
LayoutPtr MakeLayout(const std::string& text, const TextStyle& style, double width) {
    LayoutPtr layout(pango_layout_new(SharedContext()));
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, "DejaVu Sans,Sans");
    pango_font_description_set_weight(font, ToPango(style.font.weight));
    const double size = style.font.size > 0 && std::isfinite(style.font.size) ? style.font.size
                                                                              : kSystemFontSize;
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    // Text from the network (a phone's name) may hold bytes that are not UTF-8, or NULs; Pango
    // refuses such text whole, so they are shown as U+FFFD instead.
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        pango_layout_set_text(layout.get(), valid, -1);
        g_free(valid);
    }

    const LineBreakMode mode = style.lineBreakMode;
    if (width >= 0 && mode != LineBreakMode::Clipping) {
        pango_layout_set_width(layout.get(), static_cast<int>(std::floor(width * PANGO_SCALE)));
        pango_layout_set_wrap(layout.get(), mode == LineBreakMode::CharWrapping
                                                ? PANGO_WRAP_CHAR
                                                : PANGO_WRAP_WORD_CHAR);
        if (IsTruncating(mode)) {
            pango_layout_set_ellipsize(layout.get(),
                                       mode == LineBreakMode::TruncatingHead   ? PANGO_ELLIPSIZE_START
                                       : mode == LineBreakMode::TruncatingMiddle ? PANGO_ELLIPSIZE_MIDDLE
                                                                                 : PANGO_ELLIPSIZE_END);
            // A negative height is a number of lines: wrap to that many, ellipsize the last.
            pango_layout_set_height(layout.get(), -std::max(1, style.maximumNumberOfLines));
        }
        switch (style.alignment) {
            case TextAlignment::Left: pango_layout_set_alignment(layout.get(), PANGO_ALIGN_LEFT); break;
            case TextAlignment::Center: pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER); break;
            case TextAlignment::Right: pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT); break;
        }
    }
    return layout;
}

// The height of the layout's first `maxLines` lines (all when 0), in Pango units.
int VisibleHeight(PangoLayout* layout, int maxLines) {
    int width = 0;
    int height = 0;
    pango_layout_get_size(layout, &width, &height);
    if (maxLines <= 0 || pango_layout_get_line_count(layout) <= maxLines) return height;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    for (int i = 1; i < maxLines; ++i) pango_layout_iter_next_line(iter);
    int top = 0;
    int bottom = 0;
    pango_layout_iter_get_line_yrange(iter, &top, &bottom);
    pango_layout_iter_free(iter);
    return bottom;
}

// The widest of the first `maxLines` lines, in Pango units.
int VisibleWidth(PangoLayout* layout, int maxLines) {
    int widest = 0;
    const int lines = pango_layout_get_line_count(layout);
    const int count = maxLines > 0 ? std::min(lines, maxLines) : lines;
    for (int i = 0; i < count; ++i) {
        PangoRectangle logical;
        pango_layout_line_get_extents(pango_layout_get_line_readonly(layout, i), nullptr, &logical);
        widest = std::max(widest, logical.width);
    }
    return widest;
}

}  // namespace

Size MeasureText(const std::string& text, const TextStyle& style, double width) {
    std::lock_guard<std::mutex> lock(g_pangoMutex);
    LayoutPtr layout = MakeLayout(text, style, width);
    const int maxLines = IsTruncating(style.lineBreakMode) ? 0 : style.maximumNumberOfLines;
    const double w = static_cast<double>(VisibleWidth(layout.get(), maxLines)) / PANGO_SCALE;
    const double h = static_cast<double>(VisibleHeight(layout.get(), maxLines)) / PANGO_SCALE;
    return {std::ceil(w - 1e-6), std::ceil(h - 1e-6)};
}

void GraphicsContext::drawText(const std::string& text, const Rect& rect, const TextStyle& style,
                               Color color, TextVerticalPlacement placement) {
    if (text.empty() || !(rect.width > 0) || !(rect.height > 0)) return;
    const Rect d = toDevice(rect);
    std::lock_guard<std::mutex> lock(g_pangoMutex);
    LayoutPtr layout = MakeLayout(text, style, d.width);
    const int maxLines = IsTruncating(style.lineBreakMode) ? 0 : style.maximumNumberOfLines;
    const double height = static_cast<double>(VisibleHeight(layout.get(), maxLines)) / PANGO_SCALE;

    double x = d.x;
    if (style.lineBreakMode == LineBreakMode::Clipping) {
        // Unbounded lines: align the block by hand.
        const double textWidth = static_cast<double>(VisibleWidth(layout.get(), 0)) / PANGO_SCALE;
        if (style.alignment == TextAlignment::Center) x += (d.width - textWidth) / 2;
        if (style.alignment == TextAlignment::Right) x += d.width - textWidth;
    }
    const double y = placement == TextVerticalPlacement::Center ? d.y + (d.height - height) / 2 : d.y;

    cairo_save(cr_);
    cairo_new_path(cr_);
    // Clip to the rectangle and to the lines allowed.
    cairo_rectangle(cr_, d.x, d.y, d.width, d.height);
    cairo_clip(cr_);
    cairo_rectangle(cr_, d.x, y, d.width, height);
    cairo_clip(cr_);
    cairo_set_source_rgba(cr_, color.r, color.g, color.b, color.a);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout.get());
    cairo_restore(cr_);
}

}  // namespace qlo::ui
