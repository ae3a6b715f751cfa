#include "hostsim/render/raster.h"

#include <algorithm>
#include <cmath>

namespace qlo::hostsim::render {

namespace {

// A pixel passes the depth test when it is no farther than what is there, with a little
// slack so that a layer lying on another (a solid on the floor) shows when drawn later.
constexpr float kDepthSlack = 1.0f - 1e-5f;

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0)); }

// floor() without a library call for the range the grid works in (the build targets plain
// x86-64, which has no rounding instruction).
double Floor(double x) {
    if (!(std::fabs(x) < 4.0e15)) return std::floor(x);
    const double t = static_cast<double>(static_cast<long long>(x));
    return t > x ? t - 1 : t;
}

// Lines `width` wide every `spacing`, centred on the multiples of spacing.
struct GridAxis {
    double spacing, inverse, width;

    // The integral of the pattern from 0 to x, with the pattern shifted by width / 2 so that
    // each period starts with its line.
    double integral(double x) const {
        const double periods = Floor(x * inverse);
        return periods * width + std::min(x - periods * spacing, width);
    }
    // The share of [t - footprint / 2, t + footprint / 2] that lines cover.
    double coverage(double t, double footprint) const {
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
};

}  // namespace

double GridLineCoverage(double t, double footprint, double spacing, double lineWidth) {
    if (!(spacing > 0) || !(lineWidth > 0)) return 0;
    return GridAxis{spacing, 1 / spacing, lineWidth}.coverage(t, footprint);
}

Canvas::Canvas(World& world, std::vector<float>& depth)
    : world_(world), depth_(depth), width_(world.width()), height_(world.height()) {
    depth_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
}

void Canvas::clear(double red, double green, double blue) {
    const PF_Pixel8 p{255, ToByte(red), ToByte(green), ToByte(blue)};
    for (int y = 0; y < height_; ++y) std::fill_n(world_.pixel8(0, y), width_, p);
    resetDepth();
}

void Canvas::resetDepth() { std::fill(depth_.begin(), depth_.end(), 0.0f); }

void Canvas::fillConvex(std::span<const Vec2> points, const Mat3& toLayer, const Paint& paint) {
    if (points.size() < 3 || !(paint.alpha > 0)) return;
    double minY = points[0].y, maxY = points[0].y;
    for (const Vec2& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    // Rows whose centre (j + 0.5) lies in [minY, maxY).
    const int row0 = static_cast<int>(std::clamp(std::ceil(minY - 0.5), 0.0, static_cast<double>(height_)));
    const int row1 = static_cast<int>(std::clamp(std::ceil(maxY - 0.5), 0.0, static_cast<double>(height_)));
    const size_t n = points.size();
    for (int row = row0; row < row1; ++row) {
        const double yc = row + 0.5;
        double left = INFINITY, right = -INFINITY;
        for (size_t k = 0; k < n; ++k) {
            const Vec2& a = points[k];
            const Vec2& b = points[(k + 1) % n];
            if ((a.y <= yc && yc < b.y) || (b.y <= yc && yc < a.y)) {
                const double x = a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (!(left < right)) continue;
        // Pixels whose centre (i + 0.5) lies in [left, right).
        const double w = width_;
        const int x0 = static_cast<int>(std::ceil(std::clamp(left, -1.0, w + 1) - 0.5));
        const int x1 = static_cast<int>(std::ceil(std::clamp(right, -1.0, w + 1) - 0.5));
        fillSpan(row, std::max(x0, 0), std::min(x1, width_), toLayer, paint);
    }
}

void Canvas::fillSpan(int row, int x0, int x1, const Mat3& toLayer, const Paint& paint) {
    if (x0 >= x1) return;
    PF_Pixel8* px = world_.pixel8(x0, row);
    float* depth = depth_.data() + static_cast<size_t>(row) * static_cast<size_t>(width_) + x0;
    const int count = x1 - x0;
    // (u * w, v * w, w) at the first pixel centre, and its steps along x and y.
    Vec3 q = toLayer * Vec3{x0 + 0.5, row + 0.5, 1};
    const Vec3 dx = toLayer.column(0);
    const Vec3 dy = toLayer.column(1);
    const double alpha = std::min(paint.alpha, 1.0);

    if (!(paint.gridSpacing > 0) || !(paint.gridLineWidth > 0)) {
        // One colour: blend in fixed point, 8 fractional bits.
        const int a = static_cast<int>(std::lround(alpha * 256));
        const int r = ToByte(paint.red), g = ToByte(paint.green), b = ToByte(paint.blue);
        for (int i = 0; i < count; ++i, q = q + dx) {
            const float w = static_cast<float>(q.z);
            if (paint.depthTest && w < depth[i] * kDepthSlack) continue;
            PF_Pixel8& p = px[i];
            p.red = static_cast<uint8_t>(p.red + (((r - p.red) * a) >> 8));
            p.green = static_cast<uint8_t>(p.green + (((g - p.green) * a) >> 8));
            p.blue = static_cast<uint8_t>(p.blue + (((b - p.blue) * a) >> 8));
            if (paint.cover) p.alpha = 255;
            if (paint.depthWrite) depth[i] = w;
        }
        return;
    }

    // Grid: the layer point under each pixel centre, and how far one pixel reaches across
    // the layer (the footprint the lines are filtered over).
    const GridAxis grid{paint.gridSpacing, 1 / paint.gridSpacing, paint.gridLineWidth};
    const int a256 = static_cast<int>(std::lround(alpha * 256));
    const uint8_t base[3] = {ToByte(paint.red), ToByte(paint.green), ToByte(paint.blue)};
    for (int i = 0; i < count; ++i, q = q + dx) {
        const float w = static_cast<float>(q.z);
        if (paint.depthTest && w < depth[i] * kDepthSlack) continue;
        if (!(q.z != 0)) continue;
        const double inv = 1 / q.z;
        const double u = q.x * inv, v = q.y * inv;
        const double fu = (std::fabs(dx.x - u * dx.z) + std::fabs(dy.x - u * dy.z)) * std::fabs(inv);
        const double fv = (std::fabs(dx.y - v * dx.z) + std::fabs(dy.y - v * dy.z)) * std::fabs(inv);
        const double cu = grid.coverage(u, fu);
        const double cv = grid.coverage(v, fv);
        const double mix = (cu + cv - cu * cv) * paint.lineAlpha;
        PF_Pixel8& p = px[i];
        if (mix == 0 && a256 == 256) {
            p.red = base[0];
            p.green = base[1];
            p.blue = base[2];
            if (paint.cover) p.alpha = 255;
            if (paint.depthWrite) depth[i] = w;
            continue;
        }
        const double r = paint.red + (paint.lineRed - paint.red) * mix;
        const double g = paint.green + (paint.lineGreen - paint.green) * mix;
        const double b = paint.blue + (paint.lineBlue - paint.blue) * mix;
        // Both ends lie in 0..255, so the blend does too: rounding is adding 0.5.
        p.red = static_cast<uint8_t>(p.red + (r * 255 - p.red) * alpha + 0.5);
        p.green = static_cast<uint8_t>(p.green + (g * 255 - p.green) * alpha + 0.5);
        p.blue = static_cast<uint8_t>(p.blue + (b * 255 - p.blue) * alpha + 0.5);
        if (paint.cover) p.alpha = 255;
        if (paint.depthWrite) depth[i] = w;
    }
}

}  // namespace qlo::hostsim::render
