#include "platform/ui/png_renderer.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

constexpr int kMaxSide = 32767;
constexpr Color kTitleBarColor{0.9, 0.9, 0.9, 1};
constexpr Color kTitleBarLine{0.7, 0.7, 0.7, 1};

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

void PrepareForDrawing(View& view) {
    if (view.isHidden()) return;
    view.viewWillDraw();
    // A copy: viewWillDraw of a subview may not change the list, but stay safe if it does.
    const std::vector<std::shared_ptr<View>> subviews = view.subviews();
    for (const auto& child : subviews) PrepareForDrawing(*child);
}

void Draw(View& view, cairo_t* cr) {
    if (view.isHidden() || view.alphaValue() <= 0) return;
    const Size size = view.frame().size();
    if (!(size.width > 0) || !(size.height > 0)) return;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_clip(cr);
    const bool translucent = view.alphaValue() < 1;
    if (translucent) cairo_push_group(cr);

    GraphicsContext context(cr, size, view.isFlipped());
    if (view.wantsLayer() && view.layerBackgroundColor()) {
        context.fillRect(context.bounds(), *view.layerBackgroundColor());
    }
    cairo_save(cr);
    view.drawRect(context, context.bounds());
    cairo_restore(cr);

    const std::vector<std::shared_ptr<View>> subviews = view.subviews();
    for (const auto& child : subviews) {
        const Rect f = context.fromTopDown(child->frame());  // mirrored when unflipped
        cairo_save(cr);
        cairo_translate(cr, f.x, f.y);
        Draw(*child, cr);
        cairo_restore(cr);
    }

    if (translucent) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, view.alphaValue());
    }
    cairo_restore(cr);
}

bool ValidSide(double side) { return side >= 1 && side <= kMaxSide; }

RenderedPixels Capture(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    RenderedPixels out;
    out.width = cairo_image_surface_get_width(surface);
    out.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    out.argb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        std::memcpy(&out.argb[static_cast<size_t>(y) * static_cast<size_t>(out.width)],
                    data + static_cast<size_t>(y) * static_cast<size_t>(stride),
                    static_cast<size_t>(out.width) * 4);
    }
    return out;
}

// A surface with the window drawn on it; null when the size is out of range.
SurfacePtr RenderWindowSurface(Window& window, bool withTitleBar, std::string* error) {
    const double titleBar = withTitleBar ? kTitleBarHeight : 0;
    const double width = std::ceil(window.frame().width);
    const double height = std::ceil(window.frame().height + titleBar);
    if (!ValidSide(width) || !ValidSide(height)) {
        if (error != nullptr) *error = "window size out of range";
        return nullptr;
    }
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height)));
    ContextPtr cr(cairo_create(surface.get()));
    if (withTitleBar) {
        GraphicsContext bar(cr.get(), {width, titleBar}, true);
        bar.fillRect({0, 0, width, titleBar}, kTitleBarColor);
        bar.fillRect({0, titleBar - 1, width, 1}, kTitleBarLine);
        const TextStyle style{Font::systemFont(kSystemFontSize, FontWeight::Semibold), TextAlignment::Center,
                              LineBreakMode::TruncatingTail, 1};
        bar.drawText(window.title(), {8, 0, width - 16, titleBar}, style, kLabelColor, TextVerticalPlacement::Center);
        cairo_translate(cr.get(), 0, titleBar);
    }
    DrawViewTree(window.contentView(), cr.get());
    return surface;
}

// A surface with the view drawn on it; null when the size is out of range.
SurfacePtr RenderViewSurface(View& view, std::string* error) {
    const double width = std::ceil(view.frame().width);
    const double height = std::ceil(view.frame().height);
    if (!ValidSide(width) || !ValidSide(height)) {
        if (error != nullptr) *error = "view size out of range";
        return nullptr;
    }
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height)));
    ContextPtr cr(cairo_create(surface.get()));
    DrawViewTree(view, cr.get());
    return surface;
}

bool WritePNG(cairo_surface_t* surface, const std::string& path, std::string* error) {
    if (surface == nullptr) return false;
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status == CAIRO_STATUS_SUCCESS) return true;
    if (error != nullptr) *error = std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
    return false;
}

}  // namespace

Color RenderedPixels::colorAt(int x, int y) const {
    const uint32_t p = at(x, y);
    const double a = static_cast<double>(p >> 24) / 255.0;
    if (a <= 0) return {0, 0, 0, 0};
    const auto channel = [&](int shift) { return static_cast<double>((p >> shift) & 0xff) / 255.0 / a; };
    return {channel(16), channel(8), channel(0), a};
}

void DrawViewTree(View& view, cairo_t* cr) {
    // Constraints first; then views derive frames of their own (a scroll view's document, a
    // table's rows), which may give the constraints new sizes to work with.
    view.layoutSubtreeIfNeeded();
    PrepareForDrawing(view);
    view.layoutSubtreeIfNeeded();
    Draw(view, cr);
}

RenderedPixels RenderViewToARGB(View& view) {
    SurfacePtr surface = RenderViewSurface(view, nullptr);
    return surface ? Capture(surface.get()) : RenderedPixels{};
}

RenderedPixels RenderWindowToARGB(Window& window, bool withTitleBar) {
    SurfacePtr surface = RenderWindowSurface(window, withTitleBar, nullptr);
    return surface ? Capture(surface.get()) : RenderedPixels{};
}

bool RenderViewToPNG(View& view, const std::string& path, std::string* error) {
    SurfacePtr surface = RenderViewSurface(view, error);
    return WritePNG(surface.get(), path, error);
}

bool RenderWindowToPNG(Window& window, const std::string& path, std::string* error, bool withTitleBar) {
    SurfacePtr surface = RenderWindowSurface(window, withTitleBar, error);
    return WritePNG(surface.get(), path, error);
}

}  // namespace qlo::ui
