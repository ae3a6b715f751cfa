#include "platform/ui/image.h"

#include <cairo.h>

#include <cmath>

#include "platform/ui/symbols.h"

namespace qlo::ui {

namespace {

double WeightFactor(FontWeight weight) {
    switch (weight) {
        case FontWeight::Regular: return 1.0;
        case FontWeight::Medium: return 1.15;
        case FontWeight::Semibold: return 1.3;
        case FontWeight::Bold: return 1.5;
    }
    return 1.0;
}

constexpr int kMaxBitmapSide = 32767;  // Cairo's limit for image surfaces

}  // namespace

std::shared_ptr<Image> Image::systemSymbol(const std::string& name, double pointSize,
                                           FontWeight weight) {
    const symbols::Symbol* symbol = symbols::Find(name);
    if (symbol == nullptr) return nullptr;
    if (!(pointSize > 0) || !std::isfinite(pointSize)) pointSize = kSystemFontSize;
    std::shared_ptr<Image> image(new Image());
    image->size_ = {symbol->width * pointSize, symbol->height * pointSize};
    image->symbolName_ = symbol->name;
    image->isTemplate_ = true;
    image->shape_ = symbol->shape;
    image->weight_ = WeightFactor(weight);
    return image;
}

std::shared_ptr<Image> Image::named(const std::string& name) {
    if (name != kImageNameStatusAvailable) return nullptr;
    std::shared_ptr<Image> image(new Image());
    image->size_ = {16, 16};
    image->shape_ = symbols::DrawStatusAvailable;
    return image;
}

std::shared_ptr<Image> Image::fromARGB(const uint8_t* pixels, int width, int height,
                                       size_t rowBytes) {
    if (pixels == nullptr || width < 1 || height < 1 || width > kMaxBitmapSide ||
        height > kMaxBitmapSide || rowBytes < static_cast<size_t>(width) * 4) {
        return nullptr;
    }
    std::shared_ptr<Image> image(new Image());
    image->size_ = {static_cast<double>(width), static_cast<double>(height)};
    image->pixelWidth_ = width;
    image->pixelHeight_ = height;
    image->pixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    uint32_t* out = image->pixels_.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = pixels + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x, p += 4) {
            // Cairo keeps colour premultiplied by alpha, in native-endian 32-bit words.
            const uint32_t a = p[0];
            const auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
            *out++ = (a << 24) | (premultiply(p[1]) << 16) | (premultiply(p[2]) << 8) |
                     premultiply(p[3]);
        }
    }
    return image;
}

void Image::paint(cairo_t* cr, const Rect& rect, std::optional<Color> tint) const {
    if (!(rect.width > 0) || !(rect.height > 0)) return;
    cairo_save(cr);
    if (isBitmap()) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels_.data())),
            CAIRO_FORMAT_ARGB32, pixelWidth_, pixelHeight_, pixelWidth_ * 4);
        cairo_translate(cr, rect.x, rect.y);
        cairo_scale(cr, rect.width / pixelWidth_, rect.height / pixelHeight_);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_rectangle(cr, 0, 0, pixelWidth_, pixelHeight_);
        cairo_fill(cr);
        cairo_surface_destroy(surface);
    } else if (shape_ != nullptr) {
        cairo_push_group(cr);
        cairo_translate(cr, rect.x, rect.y);
        cairo_set_source_rgb(cr, 0, 0, 0);
        shape_(cr, rect.width, rect.height, weight_);
        cairo_pattern_t* drawn = cairo_pop_group(cr);
        if (isTemplate_) {
            const Color c = tint.value_or(kLabelColor);
            cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
            cairo_mask(cr, drawn);
        } else {
            cairo_set_source(cr, drawn);
            cairo_paint(cr);
        }
        cairo_pattern_destroy(drawn);
    }
    cairo_restore(cr);
}

}  // namespace qlo::ui
