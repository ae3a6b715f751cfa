#include "hostsim/render/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "hostsim/render/grid_span.h"

namespace qlo::hostsim::render {

namespace {

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0)); }

}  // namespace

Canvas::Canvas(World& world, std::vector<float>& depth)
    : world_(world), depth_(depth), width_(world.width()), height_(world.height()) {
    depth_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
}

void Canvas::clear(double red, double green, double blue) {
    const PF_Pixel8 p{255, ToByte(red), ToByte(green), ToByte(blue)};
    if (height_ < 1 || width_ < 1) return resetDepth();
    // The first row pixel by pixel, the others copied from it whole.
    PF_Pixel8* first = world_.pixel8(0, 0);
    std::fill_n(first, width_, p);
    for (int y = 1; y < height_; ++y) std::memcpy(world_.pixel8(0, y), first, static_cast<size_t>(width_) * sizeof(PF_Pixel8));
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

    FillGridSpan(px, depth, count, q, dx, dy, paint);
}

}  // namespace qlo::hostsim::render
