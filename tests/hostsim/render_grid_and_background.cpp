// Grid lines on solids (the floor): drawn and filtered (the background is drawn in
// render_suite_frames.cpp; both are kept in project files, project_json_roundtrip.cpp).
#include "hostsim/render/raster.h"
#include "render_fixture.h"

namespace qlo::hostsim::testing {
namespace {

using render::GridLineCoverage;
using GridRender = RenderTest;

TEST(GridLineCoverage, SharpAtAPointAndAveragedOverAFootprint) {
    EXPECT_EQ(GridLineCoverage(-3.9, 0, 200, 8), 1);
    EXPECT_DOUBLE_EQ(GridLineCoverage(204, 2, 200, 8), 0.5) << "a footprint across an edge";
    for (double t : {0.0, 37.5, 1234.0}) EXPECT_NEAR(GridLineCoverage(t, 2000, 200, 8), 0.04, 1e-9) << t;
}

TEST_F(GridRender, LinesFallEverySpacingAcrossTheSolid) {
    // At one composition pixel per pixel the solid's point (u, v) is at (u - 40, v - 460).
    Layer& s = solid(kGreen, 2000, 2000, 960, 540, 0);
    s.grid = SolidGrid{200, 40, Value::Rgba(1, 1, 1)};
    const PF_Pixel8 white{255, 255, 255, 255};
    const World w = frame();
    EXPECT_TRUE(Is(w, 240, 160, white)) << "u = 1002";
    EXPECT_TRUE(Is(w, 265, 160, kGreen)) << "u = v = 1102";
    EXPECT_TRUE(Is(w, 265, 135, white)) << "v = 1002";
    s.grid.color = Value::Rgba(1, 1, 1, 0.5);
    EXPECT_TRUE(Is(frame(), 240, 160, PF_Pixel8{255, 128, 255, 128})) << "mixed by the line colour's alpha";
}

}  // namespace
}  // namespace qlo::hostsim::testing
