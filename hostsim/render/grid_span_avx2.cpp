// The grid's rows eight pixels at a time. This file is compiled for AVX2 (see CMakeLists.txt);
// grid_span.cpp calls it only where the processor has AVX2. It holds nothing but the eight-lane
// copy of the lane code (grid_span_lanes.h says why that copy stays private to this file).
#include <immintrin.h>

#include "hostsim/render/grid_span_lanes.h"

namespace qlo::hostsim::render {

namespace {

template <>
struct Lanes<8> {
    typedef float F __attribute__((vector_size(32)));
    typedef int32_t I __attribute__((vector_size(32)));
    static bool Any(I mask) { return _mm256_movemask_ps(reinterpret_cast<__m256>(mask)) != 0; }
};

}  // namespace

int PaintGridGroups8(PF_Pixel8* px, float* depth, int first, int count, const Vec3& q, const Vec3& dx,
                     const Vec3& dy, const SpanPaint& s) {
    return PaintGroups<8>(px, depth, first, count, q, dx, dy, s);
}

}  // namespace qlo::hostsim::render
