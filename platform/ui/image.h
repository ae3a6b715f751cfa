// Images: the system's symbols (small vector icons drawn in a tint colour), the named standard
// images, and bitmaps copied from pixel memory. Images are immutable and shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"

typedef struct _cairo cairo_t;

namespace qlo::ui {

// The standard image of an available status: a green dot.
inline constexpr const char* kImageNameStatusAvailable = "NSStatusAvailable";

class Image {
public:
    // The symbol of that name at a point size (0: the system font size) and weight; null for a
    // name that is not one of the system's symbols. Symbols are template images.
    static std::shared_ptr<Image> systemSymbol(const std::string& name, double pointSize = 0,
                                               FontWeight weight = FontWeight::Regular);
    // A standard image by name (kImageNameStatusAvailable); null for an unknown name.
    static std::shared_ptr<Image> named(const std::string& name);
    // A copy of a bitmap whose pixels are four bytes each: alpha, red, green, blue (straight
    // alpha), rows rowBytes apart. Null when the pixels are missing, a side is not between 1 and
    // 32767, or a row is shorter than its pixels.
    static std::shared_ptr<Image> fromARGB(const uint8_t* pixels, int width, int height,
                                           size_t rowBytes);

    // The size in points the image is drawn at when nothing scales it.
    Size size() const { return size_; }
    // The symbol's name; empty for other images.
    const std::string& symbolName() const { return symbolName_; }
    // A template image is a shape drawn in one colour: the tint (or the label colour).
    bool isTemplate() const { return isTemplate_; }
    bool isBitmap() const { return !pixels_.empty(); }

    // Draws the image stretched to the rectangle (the context's device coordinates, y down).
    // A template image takes the tint, or the label colour without one; other images ignore it.
    void paint(cairo_t* cr, const Rect& rect, std::optional<Color> tint) const;

    // A vector image draws itself into a width x height box at the origin (y down); `weight`
    // scales its line widths.
    using Shape = void (*)(cairo_t* cr, double width, double height, double weight);

private:
    Image() = default;

    Size size_;
    std::string symbolName_;
    bool isTemplate_ = false;
    Shape shape_ = nullptr;   // vector images
    double weight_ = 1;       // stroke weight factor of vector images
    int pixelWidth_ = 0;      // bitmaps: premultiplied native-endian ARGB words
    int pixelHeight_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace qlo::ui
