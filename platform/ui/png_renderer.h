// Drawing a view tree with Cairo: every visible view draws its layer background (when it wants
// a layer), then its drawRect, then its subviews in order, clipped to its bounds, at its alpha.
// Hidden views and everything below them are skipped. Results go to PNG files or to memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

typedef struct _cairo cairo_t;

namespace qlo::ui {

// Rendered pixels: Cairo's 32-bit words (alpha in the top byte, colour premultiplied).
struct RenderedPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;

    bool empty() const { return argb.empty(); }
    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
    // The pixel's colour with straight alpha, each channel 0 to 1.
    Color colorAt(int x, int y) const;
};

// The height of the title bar drawn above a window's content when asked for.
inline constexpr double kTitleBarHeight = 28;

// Draws the view and its subviews with the view's top-left corner at the context's origin.
// Lays the tree out first and gives every view its viewWillDraw.
void DrawViewTree(View& view, cairo_t* cr);

// The view at its frame's size (rounded up); empty when a side is below 1 or above 32767 points.
RenderedPixels RenderViewToARGB(View& view);
// The window's content at the window's frame size, with its title bar above when asked.
RenderedPixels RenderWindowToARGB(Window& window, bool withTitleBar = false);

// Write PNG files; false with a reason in *error (when given) on failure.
bool RenderViewToPNG(View& view, const std::string& path, std::string* error);
bool RenderWindowToPNG(Window& window, const std::string& path, std::string* error,
                       bool withTitleBar = false);

}  // namespace qlo::ui
