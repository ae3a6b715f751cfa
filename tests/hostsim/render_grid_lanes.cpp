// The grid's rows painted one, four and eight pixels at a time: every path draws the lines where
// they fall. (The paths' exact blending is cosmetic and left to the eye.)
#include <gtest/gtest.h>

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


}  // namespace
}  // namespace qlo::hostsim::render
