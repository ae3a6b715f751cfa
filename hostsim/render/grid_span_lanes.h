// What the grid's row painters share: the grid and paint of a span, the double-precision pixel
// that is the reference, and the lane code that paints N pixels at a time in single precision.
// grid_span.cpp uses four lanes (SSE2, on every x86-64 processor); grid_span_avx2.cpp, compiled
// for AVX2 and called only where the processor has it, uses eight. Only those two files include
// this header.
//
// The lane code is written once with the compiler's vector types and sits in an unnamed
// namespace, so that each of the two files keeps its own copy compiled for its own instruction
// set: a shared copy could be the one the linker takes from the AVX2 file, and would then fault
// on an older processor. For the same reason the lane code calls no inline function from outside
// this namespace (everything else it needs is defined out of line in grid_span.cpp).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "hostsim/render/geometry.h"
#include "hostsim/render/raster.h"

namespace qlo::hostsim::render {

// Lines `width` wide every `spacing`, centred on the multiples of spacing.
struct GridAxis {
    double spacing, inverse, width;

    // The integral of the pattern from 0 to x, with the pattern shifted by width / 2 so that
    // each period starts with its line.
    double integral(double x) const;
    // The share of [t - footprint / 2, t + footprint / 2] that lines cover.
    double coverage(double t, double footprint) const;
};

// What a span's pixels share: the grid, the colours and how they blend.
struct SpanPaint {
    explicit SpanPaint(const Paint& p);

    const Paint& paint;
    GridAxis grid;
    double alpha;
    int a256;
    uint8_t base[3];
};

// `n` pixels from px in double precision, with q at the first: the reference the lanes follow,
// and what serves the groups they leave.
void PaintGridPixels(PF_Pixel8* px, float* depth, int n, const Vec3& q, const Vec3& dx, const Vec3& dy,
                     const SpanPaint& s);

// Groups of eight pixels from `first` while a whole group fits in `count`, with AVX2; returns the
// index after the last group painted. Only where the processor has AVX2.
int PaintGridGroups8(PF_Pixel8* px, float* depth, int first, int count, const Vec3& q, const Vec3& dx,
                     const Vec3& dy, const SpanPaint& s);

namespace {

// The vector types of N lanes and the one operation they need from the instruction set:
// whether any lane of a mask is set. Lanes<8> is defined in grid_span_avx2.cpp only.
template <int N>
struct Lanes;

template <>
struct Lanes<4> {
    typedef float F __attribute__((vector_size(16)));
    typedef int32_t I __attribute__((vector_size(16)));
    static bool Any(I mask) { return _mm_movemask_ps(reinterpret_cast<__m128>(mask)) != 0; }
};

// The arithmetic the lanes need beyond the vector types' operators.
template <int N>
struct LaneMath {
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;

    static F Splat(double v) {
        F out;
        for (int k = 0; k < N; ++k) out[k] = static_cast<float>(v);
        return out;
    }
    static I SplatInt(int32_t v) {
        I out;
        for (int k = 0; k < N; ++k) out[k] = v;
        return out;
    }
    static F Abs(F v) { return reinterpret_cast<F>(reinterpret_cast<I>(v) & SplatInt(0x7fffffff)); }
    // As the processor's min and max: the second operand when the comparison fails (NaN).
    static F Min(F a, F b) { return a < b ? a : b; }
    static F Max(F a, F b) { return a > b ? a : b; }
    static F Select(I mask, F yes, F no) { return mask ? yes : no; }
    // Rounded down; |k| is below 2^31 wherever the result is used.
    static F Floor(F k) {
        const F truncated = __builtin_convertvector(__builtin_convertvector(k, I), F);
        return truncated - Select(truncated > k, Splat(1), Splat(0));
    }
};

// One grid axis, N pixels at a time in floats: the same coverage as GridAxis::coverage to within
// float rounding. Coverage is continuous in the point and the footprint (the shortcuts for a
// footprint wholly between lines or on one are exact cases of the integral), so rounding moves a
// pixel's coverage by about the rounding over its footprint: the lanes are used only where the
// footprint is at least 1e-4 of the coordinate, which keeps that below a thousandth.
template <int N>
class GridLanes : LaneMath<N> {
    using M = LaneMath<N>;
    using F = typename M::F;
    using I = typename M::I;

public:
    explicit GridLanes(const GridAxis& axis)
        : spacing_(M::Splat(axis.spacing)), inverse_(M::Splat(axis.inverse)), width_(M::Splat(axis.width)),
          halfWidth_(M::Splat(axis.width / 2)) {}

    // The coverage of points t over footprints f in `out`; false when a lane of `active` needs
    // the double path (coordinates beyond the float floor's range, a footprint too small for
    // floats there, NaN).
    bool coverage(F t, F f, I active, F& out) const {
        const F x = t + halfWidth_;
        const F half = f * M::Splat(0.5);
        const F reach = M::Abs(x) + half;
        const I fine = (reach * inverse_ < M::Splat(1.0e6)) &
                       (half > M::Max(M::Abs(x) * M::Splat(1e-4f), M::Splat(1e-6f)));
        if (Lanes<N>::Any(~fine & active)) return false;
        const F phase = x - M::Floor(x * inverse_) * spacing_;
        const F low = phase - half, high = phase + half;
        const F zero = M::Splat(0), one = M::Splat(1);
        const I between = (low >= width_) & (high <= spacing_);
        const I on = (low >= zero) & (high <= width_);
        if (!Lanes<N>::Any(~(between | on) & active)) {
            out = M::Select(on, one, zero);
            return true;
        }
        const F covered = integral(x + half) - integral(x - half);
        const F share = M::Min(M::Max(covered / f, zero), one);
        out = M::Select(between, zero, M::Select(on, one, share));
        return true;
    }

private:
    F integral(F x) const {
        const F periods = M::Floor(x * inverse_);
        return periods * width_ + M::Min(x - periods * spacing_, width_);
    }

    F spacing_, inverse_, width_, halfWidth_;
};

// A grid polygon's row, N pixels at a time: both axes' coverage, the paint and the blend.
template <int N>
class SpanLanes : LaneMath<N> {
    using M = LaneMath<N>;
    using F = typename M::F;
    using I = typename M::I;

public:
    SpanLanes(const Vec3& dx, const Vec3& dy, const SpanPaint& s)
        : s_(s), lanes_(s.grid), dxx_(M::Splat(dx.x)), dxy_(M::Splat(dx.y)), dxz_(M::Splat(dx.z)),
          dyx_(M::Splat(dy.x)), dyy_(M::Splat(dy.y)), dyz_(M::Splat(dy.z)), lineAlpha_(M::Splat(s.paint.lineAlpha)),
          alpha_(M::Splat(s.alpha)),
          base_{M::Splat(s.paint.red * 255), M::Splat(s.paint.green * 255), M::Splat(s.paint.blue * 255)},
          toLine_{M::Splat((s.paint.lineRed - s.paint.red) * 255), M::Splat((s.paint.lineGreen - s.paint.green) * 255),
                  M::Splat((s.paint.lineBlue - s.paint.blue) * 255)} {
        for (int k = 0; k < N; ++k) step_[k] = static_cast<float>(k);
    }

    // Pixels px[0 .. N-1] with q at px[0]; false (and nothing written) when a pixel needs the
    // double path.
    bool paint(PF_Pixel8* px, float* depth, const Vec3& q) const {
        const F qx = M::Splat(q.x) + step_ * dxx_;
        const F qy = M::Splat(q.y) + step_ * dxy_;
        const F qz = M::Splat(q.z) + step_ * dxz_;
        F oldDepth;
        std::memcpy(&oldDepth, depth, sizeof oldDepth);
        const F zero = M::Splat(0), one = M::Splat(1);
        I drawn = qz != zero;
        if (s_.paint.depthTest) drawn &= ~(qz < oldDepth * M::Splat(kDepthSlack));
        if (!Lanes<N>::Any(drawn)) return true;
        // Lanes not drawn compute on a harmless point.
        const F inv = one / M::Select(drawn, qz, one);
        const F u = qx * inv, v = qy * inv;
        const F fu = (M::Abs(dxx_ - u * dxz_) + M::Abs(dyx_ - u * dyz_)) * M::Abs(inv);
        const F fv = (M::Abs(dxy_ - v * dxz_) + M::Abs(dyy_ - v * dyz_)) * M::Abs(inv);
        F cu, cv;
        if (!lanes_.coverage(u, fu, drawn, cu) || !lanes_.coverage(v, fv, drawn, cv)) return false;
        const F mix = (cu + cv - cu * cv) * lineAlpha_;

        I old;
        std::memcpy(&old, px, sizeof old);
        const I byte = M::SplatInt(255);
        I out = s_.paint.cover ? byte : (old & byte);
        for (int c = 0; c < 3; ++c) {
            // The channel's bytes (red, green, blue follow alpha), blended as the double path does.
            const int shift = 8 * (c + 1);
            const F was = __builtin_convertvector((old >> shift) & byte, F);
            const F target = base_[c] + toLine_[c] * mix;
            const F now = was + (target - was) * alpha_ + M::Splat(0.5);
            out |= __builtin_convertvector(now, I) << shift;
        }
        out = drawn ? out : old;
        std::memcpy(px, &out, sizeof out);
        if (s_.paint.depthWrite) {
            const F written = M::Select(drawn, qz, oldDepth);
            std::memcpy(depth, &written, sizeof written);
        }
        return true;
    }

private:
    const SpanPaint& s_;
    GridLanes<N> lanes_;
    F step_;
    F dxx_, dxy_, dxz_, dyx_, dyy_, dyz_, lineAlpha_, alpha_;
    F base_[3], toLine_[3];
};

// Groups of N pixels from `first` while a whole group fits; a group the lanes leave goes the
// double path. Returns the index after the last group. Each group's first point is q + dx * i in
// doubles, as the double path computes it.
template <int N>
int PaintGroups(PF_Pixel8* px, float* depth, int first, int count, const Vec3& q, const Vec3& dx, const Vec3& dy,
                const SpanPaint& s) {
    const SpanLanes<N> lanes(dx, dy, s);
    int i = first;
    for (; i + N <= count; i += N) {
        const Vec3 at{q.x + dx.x * i, q.y + dx.y * i, q.z + dx.z * i};
        if (!lanes.paint(px + i, depth + i, at)) PaintGridPixels(px + i, depth + i, N, at, dx, dy, s);
    }
    return i;
}

}  // namespace

}  // namespace qlo::hostsim::render
