// Depth of field: how much a camera's lens blurs a layer, and the blur itself.
//
// A camera layer with its Depth of Field stream on (1; >= 0.5 between keys) renders like a thin lens: a point at
// camera-space depth z is spread on the image into a disc of diameter
//
//     aperture * (blur level / 100) * zoom * |z - focus distance| / (z * focus distance)
//
// composition pixels (the circle of confusion of a lens whose opening is `aperture` wide,
// focused at `focus distance`, with the image plane at `zoom`). A layer on the focus plane stays
// sharp; the blur grows with the distance from that plane, faster in front of it than behind
// it, and never passes aperture * blur level * zoom / focus distance behind it. With the stream
// off (0), nothing is blurred and nothing costs more.
#pragma once

#include <memory>
#include <vector>

#include "hostsim/model/world.h"
#include "hostsim/render/scene_view.h"

namespace qlo::hostsim::render {

// The disc's radius in composition pixels for a point at depth z (0 without depth of field, for
// z at or before the near plane, or for settings that are not finite); at most kMaxBlurRadius.
double BlurRadius(const CameraView& view, double z);
inline constexpr double kMaxBlurRadius = 1024;

// A region of an image as premultiplied red, green, blue and coverage, 4 floats per pixel, row
// after row.
struct BlurImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;
};

// Blurs the image in place, separably: three box passes along x, then three along y, which
// together approach a Gaussian whose sigma is half the radius (the spread of a disc of that
// radius). Beyond its edges the image goes on as its edge pixels: a region around a layer has a
// transparent margin, and where the frame's edge cuts a layer the layer goes on past it. A radius
// below 0.5 pixels leaves that axis as it is. Cost: six passes over the pixels, whatever the
// radius. `scratch` is reused memory.
void BlurSeparable(BlurImage& image, double radiusX, double radiusY, std::vector<float>& scratch);

// The half-width of each of the three boxes for a radius (0: no blur along that axis).
int BoxHalfWidth(double radius);

// Memory the renderer keeps between frames for blurred layers: a world of the frame's size to
// draw one layer alone into, and the region being blurred.
struct LensBuffers {
    std::unique_ptr<World> world;
    BlurImage image;
    std::vector<float> scratch;

    // The 8-bit world, made (or remade) for this size.
    World& worldOf(int width, int height);
};

// Lays the layer drawn alone in `alone` (colour where its alpha byte is 255, nothing where it is
// 0), blurred by (radiusX, radiusY) pixels and at `opacity`, over `out` within the rectangle
// [x0, x1) x [y0, y1), which must hold the layer and the reach of its blur. A large blur is
// computed at a half or a quarter of the resolution (reduced by at most half the radius, so the
// blur still reaches 2 of those pixels) and read back bilinearly: the cost of the blur then
// falls with its size instead of growing.
void LayBlurred(const World& alone, World& out, int x0, int y0, int x1, int y1, double radiusX, double radiusY,
                float opacity, LensBuffers& buffers);

}  // namespace qlo::hostsim::render
