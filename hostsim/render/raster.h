// Filling convex polygons into an 8-bit world, with an inverse-depth buffer and an optional
// grid pattern mapped through the polygon's perspective.
//
// Pixel (i, j) of the world is sampled at its centre (i + 0.5, j + 0.5). A pixel belongs to a
// polygon when its centre lies inside it (left and top edges in, right and bottom edges out), so
// polygons sharing an edge never both cover a pixel. There is no edge antialiasing; grid lines
// are filtered over each pixel's footprint so that far ones fade instead of flickering.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "hostsim/model/world.h"
#include "hostsim/render/geometry.h"

namespace qlo::hostsim::render {

// How a polygon is painted.
struct Paint {
    // The colour, 0..1 per channel, and how much it covers what is below (0..1).
    double red = 1, green = 1, blue = 1;
    double alpha = 1;
    // Grid lines in layer units (see SolidGrid); off when spacing <= 0. lineAlpha mixes the
    // line colour over the paint colour.
    double gridSpacing = 0;
    double gridLineWidth = 0;
    double lineRed = 1, lineGreen = 1, lineBlue = 1, lineAlpha = 1;
    // Draw only where nothing nearer was drawn; record this polygon's depth.
    bool depthTest = false;
    bool depthWrite = false;
    // Set the alpha byte of every painted pixel to 255 (a layer drawn alone on a transparent
    // world marks what it covers).
    bool cover = false;
};

// A pixel passes the depth test when it is no farther than what is there, with a little
// slack so that a layer lying on another (a solid on the floor) shows when drawn later.
inline constexpr float kDepthSlack = 1.0f - 1e-5f;

// An 8-bit world being drawn, and its inverse-depth buffer: per pixel 1 / camera-space depth
// of what was drawn there with depthWrite, 0 where nothing was (infinitely far).
class Canvas {
public:
    // `depth` is scratch memory kept by the caller between frames (resized here).
    Canvas(World& world, std::vector<float>& depth);

    int width() const { return width_; }
    int height() const { return height_; }

    // Fills every pixel with an opaque colour (0..1 per channel) and forgets all depths.
    void clear(double red, double green, double blue);
    void resetDepth();

    // Fills a convex polygon given in pixel coordinates. `toLayer` maps a pixel position
    // (x, y, 1) to (u * w, v * w, w): (u, v) the point of the layer seen there, in layer units,
    // and w the inverse depth there (1 / camera-space z; any positive constant for a flat
    // layer). Polygons with fewer than 3 points or non-finite coordinates are not drawn.
    void fillConvex(std::span<const Vec2> points, const Mat3& toLayer, const Paint& paint);

private:
    void fillSpan(int row, int x0, int x1, const Mat3& toLayer, const Paint& paint);

    World& world_;
    std::vector<float>& depth_;
    int width_;
    int height_;
};

// The fraction of [t - footprint / 2, t + footprint / 2] covered by lines `lineWidth` wide,
// centred on 0, spacing, 2 * spacing, ... (and the negative multiples). A footprint of 0 gives
// 1 on a line and 0 between lines.
double GridLineCoverage(double t, double footprint, double spacing, double lineWidth);

}  // namespace qlo::hostsim::render
