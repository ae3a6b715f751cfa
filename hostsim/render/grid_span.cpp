#include "hostsim/render/grid_span.h"

#include <algorithm>
#include <cmath>

#include "hostsim/render/grid_span_lanes.h"

namespace qlo::hostsim::render {

namespace {

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0)); }

// floor() without a library call for the range the grid works in (the build targets plain
// x86-64, which has no rounding instruction).
double Floor(double x) {
    if (!(std::fabs(x) < 4.0e15)) return std::floor(x);
    const double t = static_cast<double>(static_cast<long long>(x));
    return t > x ? t - 1 : t;
}

// One pixel, in doubles: the reference the lanes follow, and what serves the pixels they leave
// (a row's last few, coordinates beyond the floats' range, footprints of almost nothing).
void PaintPixel(PF_Pixel8& p, float& depth, const Vec3& q, const Vec3& dx, const Vec3& dy, const SpanPaint& s) {
    const Paint& paint = s.paint;
    const float w = static_cast<float>(q.z);
    if (paint.depthTest && w < depth * kDepthSlack) return;
    if (!(q.z != 0)) return;
    const double inv = 1 / q.z;
    // The layer point under the pixel centre, and how far one pixel reaches across the layer
    // (the footprint the lines are filtered over).
    const double u = q.x * inv, v = q.y * inv;
    const double fu = (std::fabs(dx.x - u * dx.z) + std::fabs(dy.x - u * dy.z)) * std::fabs(inv);
    const double fv = (std::fabs(dx.y - v * dx.z) + std::fabs(dy.y - v * dy.z)) * std::fabs(inv);
    const double cu = s.grid.coverage(u, fu), cv = s.grid.coverage(v, fv);
    const double mix = (cu + cv - cu * cv) * paint.lineAlpha;
    if (mix == 0 && s.a256 == 256) {
        p.red = s.base[0];
        p.green = s.base[1];
        p.blue = s.base[2];
    } else {
        const double r = paint.red + (paint.lineRed - paint.red) * mix;
        const double g = paint.green + (paint.lineGreen - paint.green) * mix;
        const double b = paint.blue + (paint.lineBlue - paint.blue) * mix;
        // Both ends lie in 0..255, so the blend does too: rounding is adding 0.5.
        p.red = static_cast<uint8_t>(p.red + (r * 255 - p.red) * s.alpha + 0.5);
        p.green = static_cast<uint8_t>(p.green + (g * 255 - p.green) * s.alpha + 0.5);
        p.blue = static_cast<uint8_t>(p.blue + (b * 255 - p.blue) * s.alpha + 0.5);
    }
    if (paint.cover) p.alpha = 255;
    if (paint.depthWrite) depth = w;
}

}  // namespace

bool GridHasEightLanes() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

double GridAxis::integral(double x) const {
    const double periods = Floor(x * inverse);
    return periods * width + std::min(x - periods * spacing, width);
}

double GridAxis::coverage(double t, double footprint) const {
    if (width >= spacing) return 1;
    const double x = t + width / 2;
    const double phase = x - Floor(x * inverse) * spacing;  // 0..spacing; the line is 0..width
    const double half = footprint / 2;
    if (!(half > 1e-9)) return phase < width ? 1 : 0;
    // Most pixels see no line edge: wholly between two lines, or wholly on one.
    if (phase - half >= width && phase + half <= spacing) return 0;
    if (phase - half >= 0 && phase + half <= width) return 1;
    const double covered = integral(x + footprint / 2) - integral(x - footprint / 2);
    return std::clamp(covered / footprint, 0.0, 1.0);
}

SpanPaint::SpanPaint(const Paint& p)
    : paint(p), grid{p.gridSpacing, 1 / p.gridSpacing, p.gridLineWidth}, alpha(std::min(p.alpha, 1.0)),
      a256(static_cast<int>(std::lround(alpha * 256))), base{ToByte(p.red), ToByte(p.green), ToByte(p.blue)} {}

void PaintGridPixels(PF_Pixel8* px, float* depth, int n, const Vec3& q, const Vec3& dx, const Vec3& dy,
                     const SpanPaint& s) {
    for (int k = 0; k < n; ++k) PaintPixel(px[k], depth[k], q + dx * k, dx, dy, s);
}

double GridLineCoverage(double t, double footprint, double spacing, double lineWidth) {
    if (!(spacing > 0) || !(lineWidth > 0)) return 0;
    return GridAxis{spacing, 1 / spacing, lineWidth}.coverage(t, footprint);
}

void FillGridSpan(PF_Pixel8* px, float* depth, int count, const Vec3& q, const Vec3& dx, const Vec3& dy,
                  const Paint& paint, GridLanesUsed lanes) {
    const SpanPaint s(paint);
    int i = 0;
    if (lanes == GridLanesUsed::Widest) lanes = GridHasEightLanes() ? GridLanesUsed::Eight : GridLanesUsed::Four;
    // Lines at least as wide as their spacing cover everything: the double path says so at once.
    if (s.grid.width < s.grid.spacing) {
        if (lanes == GridLanesUsed::Eight) i = PaintGridGroups8(px, depth, i, count, q, dx, dy, s);
        if (lanes != GridLanesUsed::None) i = PaintGroups<4>(px, depth, i, count, q, dx, dy, s);
    }
    for (; i < count; ++i) PaintPixel(px[i], depth[i], q + dx * i, dx, dy, s);
}

}  // namespace qlo::hostsim::render
