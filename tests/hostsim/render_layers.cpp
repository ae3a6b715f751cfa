// The renderer's layers: drawing order and depth, opacity, transforms, keyframes, 2-D layers.
#include <cstring>
#include <functional>

#include "render_fixture.h"

namespace qlo::hostsim::testing {
namespace {

using LayerRender = RenderTest;

TEST_F(LayerRender, NearerSolidsCoverFartherOnesWhateverTheStackOrder) {
    Layer& far = solid(kRed, 400, 400, 960, 540, 1000);
    Layer& near = solid(kGreen, 200, 200, 960, 540, 0);  // on top
    const World w = frame();
    EXPECT_TRUE(Is(w, 240, 135, kGreen));
    EXPECT_TRUE(Is(w, 240 + 30, 135, kRed));
    comp.removeLayer(far.id());
    solid(kRed, 400, 400, 960, 540, 1000);  // the far one now on top
    EXPECT_EQ(std::memcmp(frame().data(), w.data(), w.sizeBytes()), 0);
    near.set(AEGP_LayerStream_OPACITY, Value::One(50));
    EXPECT_TRUE(Is(frame(), 240, 135, PF_Pixel8{255, 127, 127, 0}, 2)) << "half see-through: mixed";
}

TEST_F(LayerRender, AFloorDoesNotCoverWhatStandsOnItBeyondItsCentre) {
    // The floor's centre (z = 1000) is nearer than the solid standing on it at z = 3000, but
    // the floor's far part lies behind the solid's foot.
    solid(kGreen, 4000, 12000, 960, 740, 1000).set(AEGP_LayerStream_ROTATE_X, Value::One(90));
    solid(kRed, 400, 400, 960, 540, 3000);
    const World w = frame();
    EXPECT_TRUE(Is(w, 240, 155, kRed));
    EXPECT_TRUE(Is(w, 240, 200, kGreen));
    // The same with both out of focus (depth of field on, focused far behind them): the blurred
    // solid still hides the floor behind its foot.
    Layer& cam = camera(960, 540);
    cam.set(AEGP_LayerStream_DEPTH_OF_FIELD, Value::One(1));
    cam.set(AEGP_LayerStream_FOCUS_DISTANCE, Value::One(50000));
    cam.set(AEGP_LayerStream_APERTURE, Value::One(100));
    const World blurred = frame();
    EXPECT_TRUE(Is(blurred, 240, 135, kRed, 3));
    const PF_Pixel8 foot = *blurred.pixel8(240, 150);  // near the foot: red, a little floor in it
    EXPECT_GT(foot.red, 200) << int(foot.red) << "," << int(foot.green);
    EXPECT_LT(foot.green, 60) << int(foot.red) << "," << int(foot.green);
    EXPECT_TRUE(Is(blurred, 240, 215, kGreen, 3));
}

// Where a 400 x 400 square at the centre lands on row 135: its transform, its keys at the time
// rendered, and the camera's place.
TEST_F(LayerRender, ASquareLandsWhereItsTransformKeysAndTheCameraPutIt) {
    const auto keyed = [](Layer& s) {
        s.stream(AEGP_LayerStream_POSITION)->setKeyframe(0, Value::Three(560, 540, 0));
        s.stream(AEGP_LayerStream_POSITION)->setKeyframe(2, Value::Three(1360, 540, 0));
    };
    const struct {
        const char* what;
        std::function<void(Layer&)> setup;
        double time;
        std::pair<int, int> run;
    } kRows[] = {
        {"half size", [](Layer& s) { s.set(AEGP_LayerStream_SCALE, Value::Three(50, 50, 100)); }, 0, {215, 264}},
        {"half size about its left edge's middle",
         [](Layer& s) {
             s.set(AEGP_LayerStream_SCALE, Value::Three(50, 50, 100));
             s.set(AEGP_LayerStream_ANCHORPOINT, Value::Three(0, 200, 0));
         },
         0, {240, 289}},
        {"keyed, at 0", keyed, 0, {90, 189}},
        {"keyed, at 1", keyed, 1, {190, 289}},
        {"keyed, at 2", keyed, 2, {290, 389}},
        {"camera 200 right", [this](Layer&) { camera(960, 540, false).set(AEGP_LayerStream_POSITION, Value::Three(1160, 540, -kZoom)); }, 0, {140, 239}},
        {"camera twice as close", [this](Layer&) { camera(960, 540, false).set(AEGP_LayerStream_POSITION, Value::Three(960, 540, -kZoom / 2)); }, 0, {140, 339}},
    };
    for (const auto& row : kRows) {
        while (comp.numLayers() > 0) comp.removeLayer(comp.layerAt(0)->id());
        row.setup(solid(kRed, 400, 400, 960, 540, 0));
        EXPECT_EQ(Run(frame(row.time), 135, kRed), row.run) << row.what;
    }
    comp.removeLayer(comp.layerAt(0)->id());  // the camera on top
    comp.layerAt(0)->set(AEGP_LayerStream_ROTATION, Value::One(45));
    EXPECT_TRUE(Is(frame(), 240 + 45, 135 + 45, kBackground)) << "turned about its centre: on a corner";
}

TEST_F(LayerRender, TwoDLayersLieFlatInTheFrameAtTheirPlaceInTheStack) {
    solid(kRed, 4000, 4000, 960, 540, 0);
    Layer& flat = comp.addSolid("2-D", Value::Rgba(0, 1, 0), 200, 100);
    flat.set(AEGP_LayerStream_POSITION, Value::Three(100, 50, 0));
    camera(960, 540).set(AEGP_LayerStream_POSITION, Value::Three(300, 100, -1500));  // no matter
    World w = frame();
    EXPECT_EQ(Run(w, 0, kGreen), std::make_pair(0, 49));
    EXPECT_EQ(Run(w, 24, kGreen), std::make_pair(0, 49));
    EXPECT_EQ(Run(w, 25, kGreen), std::make_pair(-1, -1));
    comp.layerAt(0)->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;  // the default view
    flat.set(AEGP_LayerStream_POSITION, Value::Three(960, 540, 0));
    solid(PF_Pixel8{255, 0, 0, 255}, 100, 100, 960, 540, 500);  // above the 2-D layer
    w = frame();
    EXPECT_TRUE(Is(w, 240, 135, PF_Pixel8{255, 0, 0, 255}));
    EXPECT_TRUE(Is(w, 240 + 20, 135, kGreen));
}

}  // namespace
}  // namespace qlo::hostsim::testing
