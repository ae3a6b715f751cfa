#include "hostsim/render/grid_span.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

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

// What a span's pixels share: the grid, the colours and how they blend.
struct SpanPaint {
    explicit SpanPaint(const Paint& p)
        : paint(p), grid{p.gridSpacing, 1 / p.gridSpacing, p.gridLineWidth}, alpha(std::min(p.alpha, 1.0)),
          a256(static_cast<int>(std::lround(alpha * 256))), base{ToByte(p.red), ToByte(p.green), ToByte(p.blue)} {}

    const Paint& paint;
    GridAxis grid;
    double alpha;
    int a256;
    uint8_t base[3];
};

// One pixel, in doubles: the reference the four-pixel path below follows, and what serves the
// pixels it leaves (a span's last few, coordinates beyond its range, footprints of almost nothing).
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

__m128 Abs(__m128 v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
__m128 Select(__m128 mask, __m128 yes, __m128 no) { return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no)); }

// One grid axis for four pixels in floats: the same coverage as GridAxis::coverage, to within
// float rounding. Coverage is continuous in the point and the footprint (the shortcuts for a
// footprint wholly between lines or on one are exact cases of the integral), so rounding moves
// a pixel's coverage by about the rounding over its footprint: the path is taken only where
// the footprint is at least 1e-4 of the coordinate, which keeps that below a thousandth.
class GridLanes {
public:
    explicit GridLanes(const GridAxis& axis)
        : spacing_(_mm_set1_ps(static_cast<float>(axis.spacing))),
          inverse_(_mm_set1_ps(static_cast<float>(axis.inverse))),
          width_(_mm_set1_ps(static_cast<float>(axis.width))),
          halfWidth_(_mm_set1_ps(static_cast<float>(axis.width / 2))) {}

    // The coverage of points t over footprints f in `out`; false when a lane of `active` needs
    // the double path (coordinates beyond the float floor's range, a footprint too small for
    // floats there, NaN).
    bool coverage(__m128 t, __m128 f, __m128 active, __m128& out) const {
        const __m128 x = _mm_add_ps(t, halfWidth_);
        const __m128 half = _mm_mul_ps(f, _mm_set1_ps(0.5f));
        const __m128 reach = _mm_add_ps(Abs(x), half);
        const __m128 fine = _mm_and_ps(_mm_cmplt_ps(_mm_mul_ps(reach, inverse_), _mm_set1_ps(1.0e6f)),
                                       _mm_cmpgt_ps(half, _mm_max_ps(_mm_mul_ps(Abs(x), _mm_set1_ps(1e-4f)),
                                                                     _mm_set1_ps(1e-6f))));
        if (_mm_movemask_ps(_mm_andnot_ps(fine, active)) != 0) return false;
        const __m128 phase = _mm_sub_ps(x, _mm_mul_ps(FloorOf(_mm_mul_ps(x, inverse_)), spacing_));
        const __m128 low = _mm_sub_ps(phase, half), high = _mm_add_ps(phase, half);
        const __m128 between = _mm_and_ps(_mm_cmpge_ps(low, width_), _mm_cmple_ps(high, spacing_));
        const __m128 on = _mm_and_ps(_mm_cmpge_ps(low, _mm_setzero_ps()), _mm_cmple_ps(high, width_));
        const __m128 one = _mm_set1_ps(1.0f);
        if (_mm_movemask_ps(_mm_andnot_ps(_mm_or_ps(between, on), active)) == 0) {
            out = _mm_and_ps(on, one);
            return true;
        }
        const __m128 covered = _mm_sub_ps(integral(_mm_add_ps(x, half)), integral(_mm_sub_ps(x, half)));
        const __m128 share = _mm_min_ps(_mm_max_ps(_mm_div_ps(covered, f), _mm_setzero_ps()), one);
        out = Select(between, _mm_setzero_ps(), Select(on, one, share));
        return true;
    }

private:
    // Rounded down; |k| is below 2^31 here.
    static __m128 FloorOf(__m128 k) {
        const __m128 truncated = _mm_cvtepi32_ps(_mm_cvttps_epi32(k));
        return _mm_sub_ps(truncated, _mm_and_ps(_mm_cmpgt_ps(truncated, k), _mm_set1_ps(1.0f)));
    }
    __m128 integral(__m128 x) const {
        const __m128 periods = FloorOf(_mm_mul_ps(x, inverse_));
        return _mm_add_ps(_mm_mul_ps(periods, width_), _mm_min_ps(_mm_sub_ps(x, _mm_mul_ps(periods, spacing_)), width_));
    }

    __m128 spacing_, inverse_, width_, halfWidth_;
};

// Four pixels at a time in floats.
class SpanLanes {
public:
    SpanLanes(const Vec3& dx, const Vec3& dy, const SpanPaint& s)
        : s_(s), lanes_(s.grid), dxx_(Set(dx.x)), dxy_(Set(dx.y)), dxz_(Set(dx.z)), dyx_(Set(dy.x)),
          dyy_(Set(dy.y)), dyz_(Set(dy.z)), lineAlpha_(Set(s.paint.lineAlpha)), alpha_(Set(s.alpha)),
          base_{Set(s.paint.red * 255), Set(s.paint.green * 255), Set(s.paint.blue * 255)},
          toLine_{Set((s.paint.lineRed - s.paint.red) * 255), Set((s.paint.lineGreen - s.paint.green) * 255),
                  Set((s.paint.lineBlue - s.paint.blue) * 255)} {}

    // Pixels px[0..3] with q at px[0]; false (and nothing written) when a pixel needs the
    // double path.
    bool paint(PF_Pixel8* px, float* depth, const Vec3& q) const {
        const __m128 step = _mm_set_ps(3, 2, 1, 0);
        const __m128 qx = _mm_add_ps(Set(q.x), _mm_mul_ps(step, dxx_));
        const __m128 qy = _mm_add_ps(Set(q.y), _mm_mul_ps(step, dxy_));
        const __m128 qz = _mm_add_ps(Set(q.z), _mm_mul_ps(step, dxz_));
        const __m128 oldDepth = _mm_loadu_ps(depth);
        __m128 drawn = _mm_cmpneq_ps(qz, _mm_setzero_ps());
        if (s_.paint.depthTest) drawn = _mm_and_ps(drawn, _mm_cmpnlt_ps(qz, _mm_mul_ps(oldDepth, _mm_set1_ps(kDepthSlack))));
        if (_mm_movemask_ps(drawn) == 0) return true;
        // Lanes not drawn compute on a harmless point.
        const __m128 inv = _mm_div_ps(_mm_set1_ps(1.0f), Select(drawn, qz, _mm_set1_ps(1.0f)));
        const __m128 u = _mm_mul_ps(qx, inv), v = _mm_mul_ps(qy, inv);
        const __m128 fu = _mm_mul_ps(_mm_add_ps(Abs(_mm_sub_ps(dxx_, _mm_mul_ps(u, dxz_))), Abs(_mm_sub_ps(dyx_, _mm_mul_ps(u, dyz_)))), Abs(inv));
        const __m128 fv = _mm_mul_ps(_mm_add_ps(Abs(_mm_sub_ps(dxy_, _mm_mul_ps(v, dxz_))), Abs(_mm_sub_ps(dyy_, _mm_mul_ps(v, dyz_)))), Abs(inv));
        __m128 cu, cv;
        if (!lanes_.coverage(u, fu, drawn, cu) || !lanes_.coverage(v, fv, drawn, cv)) return false;
        const __m128 mix = _mm_mul_ps(_mm_sub_ps(_mm_add_ps(cu, cv), _mm_mul_ps(cu, cv)), lineAlpha_);

        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
        const __m128i byte = _mm_set1_epi32(255);
        __m128i out = s_.paint.cover ? byte : _mm_and_si128(old, byte);
        for (int c = 0; c < 3; ++c) {
            // The channel's bytes (red, green, blue follow alpha), blended as PaintPixel does.
            const int shift = 8 * (c + 1);
            const __m128 was = _mm_cvtepi32_ps(_mm_and_si128(Shift(old, shift, false), byte));
            const __m128 target = _mm_add_ps(base_[c], _mm_mul_ps(toLine_[c], mix));
            const __m128 now = _mm_add_ps(_mm_add_ps(was, _mm_mul_ps(_mm_sub_ps(target, was), alpha_)), _mm_set1_ps(0.5f));
            out = _mm_or_si128(out, Shift(_mm_cvttps_epi32(now), shift, true));
        }
        const __m128i keep = _mm_castps_si128(drawn);
        out = _mm_or_si128(_mm_and_si128(keep, out), _mm_andnot_si128(keep, old));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(px), out);
        if (s_.paint.depthWrite) _mm_storeu_ps(depth, Select(drawn, qz, oldDepth));
        return true;
    }

private:
    static __m128 Set(double v) { return _mm_set1_ps(static_cast<float>(v)); }
    static __m128i Shift(__m128i v, int bits, bool left) {
        const __m128i count = _mm_cvtsi32_si128(bits);
        return left ? _mm_sll_epi32(v, count) : _mm_srl_epi32(v, count);
    }

    const SpanPaint& s_;
    GridLanes lanes_;
    __m128 dxx_, dxy_, dxz_, dyx_, dyy_, dyz_, lineAlpha_, alpha_;
    __m128 base_[3], toLine_[3];
};

}  // namespace

double GridLineCoverage(double t, double footprint, double spacing, double lineWidth) {
    if (!(spacing > 0) || !(lineWidth > 0)) return 0;
    return GridAxis{spacing, 1 / spacing, lineWidth}.coverage(t, footprint);
}

void FillGridSpan(PF_Pixel8* px, float* depth, int count, const Vec3& q, const Vec3& dx, const Vec3& dy,
                  const Paint& paint) {
    const SpanPaint s(paint);
    int i = 0;
    // Lines at least as wide as their spacing cover everything: the double path says so at once.
    if (s.grid.width < s.grid.spacing) {
        const SpanLanes lanes(dx, dy, s);
        for (; i + 4 <= count; i += 4) {
            const Vec3 at = q + dx * i;
            if (lanes.paint(px + i, depth + i, at)) continue;
            for (int k = 0; k < 4; ++k) PaintPixel(px[i + k], depth[i + k], at + dx * k, dx, dy, s);
        }
    }
    for (; i < count; ++i) PaintPixel(px[i], depth[i], q + dx * i, dx, dy, s);
}

}  // namespace qlo::hostsim::render
