// Painting a row of pixels of a polygon that carries a grid: each pixel's grid coverage on both
// axes (the lines filtered over the pixel's footprint on the layer), mixed over the paint colour
// and blended into the world. raster.h describes the geometry; this is its inner loop.
#pragma once

#include <cstdint>

#include "hostsim/render/geometry.h"
#include "hostsim/render/raster.h"

namespace qlo::hostsim::render {

// How many pixels at a time a row is painted in single precision: the widest the processor has
// (eight with AVX2, else four), or as named (None: every pixel in double precision). Renders
// use Widest; the others are there to compare the paths.
enum class GridLanesUsed { Widest, Eight, Four, None };

// One row of a grid polygon: `count` pixels from `px` (and their inverse depths from `depth`);
// `q` is (u * w, v * w, w) at the first pixel's centre, `dx` and `dy` its steps along x and y.
// The paint's grid must be on (spacing and line width > 0). Eight lanes need AVX2.
void FillGridSpan(PF_Pixel8* px, float* depth, int count, const Vec3& q, const Vec3& dx, const Vec3& dy,
                  const Paint& paint, GridLanesUsed lanes = GridLanesUsed::Widest);

// Whether this processor can paint eight lanes at a time.
bool GridHasEightLanes();

}  // namespace qlo::hostsim::render
