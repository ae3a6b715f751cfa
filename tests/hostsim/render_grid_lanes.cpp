// The grid's rows painted four and eight pixels at a time in floats against the same rows in
// doubles: the same picture to within one level a channel, and that only rarely (a float
// rounding falling the other way), over random perspectives, blends and row lengths that leave
// a remainder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "hostsim/render/grid_span.h"

namespace qlo::hostsim::render {
namespace {

struct Row {
    std::vector<PF_Pixel8> px;
    std::vector<float> depth;
};

TEST(GridLanes, LinesFallEverySpacingOnEveryPath) {
    // Seen front-on, one layer unit a pixel: lines 2 wide every 10 cover [10k - 1, 10k + 1], so
    // of the pixels whose centres are at u = i - 19.5, those with i % 10 == 9 or 0 are wholly on a
    // line and the rest wholly between (v = 5.5 lies between the lines across).
    Paint paint;
    paint.green = paint.blue = 0;
    paint.gridSpacing = 10, paint.gridLineWidth = 2;
    std::vector<GridLanesUsed> paths = {GridLanesUsed::None, GridLanesUsed::Four};
    if (GridHasEightLanes()) paths.push_back(GridLanesUsed::Eight);
    for (GridLanesUsed path : paths) {
        Row row{std::vector<PF_Pixel8>(40), std::vector<float>(40)};
        FillGridSpan(row.px.data(), row.depth.data(), 40, Vec3{-19.5, 5.5, 1}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, paint, path);
        for (int i = 0; i < 40; ++i) {
            const bool line = i % 10 == 9 || i % 10 == 0;
            EXPECT_EQ(row.px[i].green, line ? 255 : 0) << "pixel " << i << ", path " << static_cast<int>(path);
        }
    }
}

TEST(GridLanes, PaintWhatTheDoublePathPaintsToWithinOneLevel) {
    std::mt19937 random(7);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    std::vector<GridLanesUsed> paths = {GridLanesUsed::Four};
    if (GridHasEightLanes()) paths.push_back(GridLanesUsed::Eight);
    int painted = 0, channels = 0, differing = 0;
    for (int trial = 0; trial < 300; ++trial) {
        Paint paint;
        paint.red = uniform(0, 1), paint.green = uniform(0, 1), paint.blue = uniform(0, 1);
        paint.alpha = trial % 3 == 0 ? 1 : uniform(0.2, 1);
        paint.gridSpacing = uniform(50, 300);
        paint.gridLineWidth = uniform(1, 20);
        paint.lineRed = uniform(0, 1), paint.lineAlpha = uniform(0.3, 1);
        paint.depthTest = trial % 2 == 0, paint.depthWrite = trial % 4 < 2, paint.cover = trial % 5 == 0;
        // A plane seen in perspective: w falls along the row, u and v sweep across many lines.
        const double w = uniform(0.002, 0.01);
        const Vec3 q{uniform(-2000, 2000) * w, uniform(-2000, 2000) * w, w};
        const Vec3 dx{uniform(-8, 8) * w, uniform(-8, 8) * w, uniform(-0.01, 0.01) * w};
        const Vec3 dy{uniform(-8, 8) * w, uniform(-8, 8) * w, uniform(-0.01, 0.01) * w};
        const int count = 1 + static_cast<int>(random() % 61);

        Row start;
        for (int i = 0; i < count; ++i) {
            const auto b = [&] { return static_cast<uint8_t>(random() % 256); };
            start.px.push_back(PF_Pixel8{b(), b(), b(), b()});
            // Some pixels nearer than the row (kept by the depth test), most farther.
            start.depth.push_back(static_cast<float>(i % 7 == 3 ? w * 4 : w * uniform(0, 0.5)));
        }
        Row doubles = start;
        FillGridSpan(doubles.px.data(), doubles.depth.data(), count, q, dx, dy, paint, GridLanesUsed::None);
        for (GridLanesUsed path : paths) {
            Row lanes = start;
            FillGridSpan(lanes.px.data(), lanes.depth.data(), count, q, dx, dy, paint, path);
            for (int i = 0; i < count; ++i) {
                const PF_Pixel8 &a = doubles.px[i], &b = lanes.px[i];
                const int worst = std::max({std::abs(a.alpha - b.alpha), std::abs(a.red - b.red),
                                            std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
                channels += 4;
                differing += (a.alpha != b.alpha) + (a.red != b.red) + (a.green != b.green) + (a.blue != b.blue);
                ASSERT_LE(worst, 1) << "trial " << trial << ", pixel " << i << " of " << count << ", "
                                    << (path == GridLanesUsed::Four ? "four" : "eight") << " lanes";
                ASSERT_NEAR(lanes.depth[i], doubles.depth[i], 1e-5 * doubles.depth[i]) << "trial " << trial;
                painted += a.red != start.px[i].red || a.green != start.px[i].green;
            }
        }
    }
    EXPECT_LT(differing, channels / 200) << differing << " of " << channels << " channels differ";
    EXPECT_GT(painted, 3000) << "the rows must mostly be painted, not kept by the depth test";
}

}  // namespace
}  // namespace qlo::hostsim::render
