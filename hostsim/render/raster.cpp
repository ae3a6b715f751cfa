#include "hostsim/render/raster.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

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

// Both axes of a grid pixel at once, two doubles to an SSE2 register: the low lane is u, the high
// lane v. Each lane computes exactly what GridAxis::coverage computes for it (the same operations
// in the same order), but only for the common outcomes: a footprint wholly between two lines (0)
// or wholly on one (1). Anything else (a line edge within the footprint, a footprint of almost
// nothing, coordinates beyond the fast floor's range, NaN) is left to GridAxis::coverage.
class GridPair {
public:
    explicit GridPair(const GridAxis& axis)
        : spacing_(_mm_set1_pd(axis.spacing)), inverse_(_mm_set1_pd(axis.inverse)),
          width_(_mm_set1_pd(axis.width)), halfWidth_(_mm_set1_pd(axis.width / 2)) {}

    // The coverage of (u, v) over footprints (fu, fv) into cu and cv; false when a lane needs
    // the exact computation.
    bool coverage(__m128d t, __m128d footprint, double& cu, double& cv) const {
        const __m128d x = _mm_add_pd(t, halfWidth_);
        const __m128d k = _mm_mul_pd(x, inverse_);
        // Floor: truncated towards zero, one less where that rounded up (Floor's integer path,
        // here within the 32-bit range).
        const __m128d absK = _mm_andnot_pd(_mm_set1_pd(-0.0), k);
        if (_mm_movemask_pd(_mm_cmplt_pd(absK, _mm_set1_pd(1.0e9))) != 3) return false;
        const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(k));
        const __m128d floor = _mm_sub_pd(truncated, _mm_and_pd(_mm_cmpgt_pd(truncated, k), _mm_set1_pd(1.0)));
        const __m128d phase = _mm_sub_pd(x, _mm_mul_pd(floor, spacing_));
        const __m128d half = _mm_div_pd(footprint, _mm_set1_pd(2.0));
        if (_mm_movemask_pd(_mm_cmpgt_pd(half, _mm_set1_pd(1e-9))) != 3) return false;
        const __m128d low = _mm_sub_pd(phase, half);
        const __m128d high = _mm_add_pd(phase, half);
        const int between = _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(low, width_), _mm_cmple_pd(high, spacing_)));
        const int on = _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(low, _mm_setzero_pd()), _mm_cmple_pd(high, width_)));
        if ((between | on) != 3) return false;
        cu = (between & 1) ? 0.0 : 1.0;
        cv = (between & 2) ? 0.0 : 1.0;
        return true;
    }

private:
    __m128d spacing_, inverse_, width_, halfWidth_;
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

    // Grid: the layer point under each pixel centre, and how far one pixel reaches across
    // the layer (the footprint the lines are filtered over).
    const GridAxis grid{paint.gridSpacing, 1 / paint.gridSpacing, paint.gridLineWidth};
    // Lines at least as wide as their spacing cover everything: the exact path says so at once.
    const bool pairs = grid.width < grid.spacing;
    const GridPair pair(grid);
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d dxXY = _mm_set_pd(dx.y, dx.x), dyXY = _mm_set_pd(dy.y, dy.x);
    const __m128d dxZ = _mm_set1_pd(dx.z), dyZ = _mm_set1_pd(dy.z);
    const int a256 = static_cast<int>(std::lround(alpha * 256));
    const uint8_t base[3] = {ToByte(paint.red), ToByte(paint.green), ToByte(paint.blue)};
    for (int i = 0; i < count; ++i, q = q + dx) {
        const float w = static_cast<float>(q.z);
        if (paint.depthTest && w < depth[i] * kDepthSlack) continue;
        if (!(q.z != 0)) continue;
        const double inv = 1 / q.z;
        // u and v, and the footprints fu and fv, in the two lanes.
        const __m128d uv = _mm_mul_pd(_mm_set_pd(q.y, q.x), _mm_set1_pd(inv));
        const __m128d fuv = _mm_mul_pd(_mm_add_pd(_mm_andnot_pd(sign, _mm_sub_pd(dxXY, _mm_mul_pd(uv, dxZ))),
                                                  _mm_andnot_pd(sign, _mm_sub_pd(dyXY, _mm_mul_pd(uv, dyZ)))),
                                       _mm_set1_pd(std::fabs(inv)));
        double cu = 0, cv = 0;
        if (!pairs || !pair.coverage(uv, fuv, cu, cv)) {
            cu = grid.coverage(_mm_cvtsd_f64(uv), _mm_cvtsd_f64(fuv));
            cv = grid.coverage(_mm_cvtsd_f64(_mm_unpackhi_pd(uv, uv)), _mm_cvtsd_f64(_mm_unpackhi_pd(fuv, fuv)));
        }
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
