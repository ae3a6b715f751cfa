// Grid lines on solids (the floor) and the background colour: drawn, filtered, kept in files
// (the background is drawn in render_suite_frames.cpp).
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

TEST(GridProjectFile, GridAndBackgroundRoundTripAndAreChecked) {
    Project p;
    Composition& c = p.addComposition("C", 640, 360, 25, 2);
    c.backgroundColor = Value::Rgba(0.25, 0.5, 0.75);
    c.addSolid("Floor", Value::Rgba(0.3, 0.3, 0.3), 1000, 1000).grid = SolidGrid{150, 6, Value::Rgba(0.9, 0.8, 0.7, 0.5)};
    c.addSolid("Plain", Value::Rgba(1, 0, 0), 10, 10);
    const std::string text = SerializeProject(p);
    const auto back = ParseProject(text, "t.json");
    const Composition& bc = *back->itemAt(0)->asComposition();
    EXPECT_EQ(bc.backgroundColor, c.backgroundColor);
    EXPECT_EQ(bc.layerAt(1)->grid, c.layerAt(1)->grid);
    EXPECT_FALSE(bc.layerAt(0)->grid.enabled());
    EXPECT_EQ(SerializeProject(*back), text);

    auto parse = [](const std::string& layer) {
        return ParseProject(R"({"format": "quillo-host project", "version": 1, "items": [{"type": "composition",
            "name": "C", "width": 10, "height": 10, "frameRate": 1, "duration": 1, "layers": [)" + layer + "]}]}", "g");
    };
    const auto minimal = parse(R"({"name": "F", "type": "solid", "grid": {"spacing": 50}})");
    EXPECT_EQ(minimal->itemAt(0)->asComposition()->layerAt(0)->grid, (SolidGrid{50, 4, Value::Rgba(1, 1, 1)}));
    EXPECT_EQ(minimal->itemAt(0)->asComposition()->backgroundColor, Value::Rgba(0.16, 0.16, 0.16));
    EXPECT_THROW(parse(R"({"name": "K", "type": "camera", "grid": {"spacing": 5}})"), ProjectFileError);
}

}  // namespace
}  // namespace qlo::hostsim::testing
