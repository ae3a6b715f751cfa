// The scene renderer: a 1920 x 1080 composition on a 0.2 grey background, rendered at a quarter.
// Its camera: default view (z = 0 at full scale), top-most enabled camera, turning and aiming.
// Its layers: transforms and keyframes at the time rendered. (Depth order, blur and clipping
// are the stand-in's picture quality, left to the eye.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>

#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"

namespace qlo::hostsim::testing {
namespace {

constexpr PF_Pixel8 kBackground{255, 51, 51, 51};
constexpr PF_Pixel8 kRed{255, 255, 0, 0};
constexpr PF_Pixel8 kGreen{255, 0, 255, 0};
const double kZoom = DefaultCameraZoom(1920);

class RenderTest : public ::testing::Test {
protected:
    RenderTest() : comp(project.addComposition("C", 1920, 1080, 30, 10)) {
        comp.backgroundColor = Value::Rgba(0.2, 0.2, 0.2);
    }
    // A 3-D solid centred on (x, y, z), facing the default view.
    Layer& solid(PF_Pixel8 c, int w, int h, double x, double y, double z) {
        Layer& l = comp.addSolid("S", Value::Rgba(c.red / 255.0, c.green / 255.0, c.blue / 255.0), w, h);
        l.flags |= AEGP_LayerFlag_LAYER_IS_3D;
        l.set(AEGP_LayerStream_POSITION, Value::Three(x, y, z));
        return l;
    }
    // A camera as the host makes one, aimed at (x, y, 0), on top; `aimed` false: orientation aims.
    Layer& camera(double x, double y, bool aimed = true) {
        Layer& cam = comp.addCamera("Cam", A_FloatPoint{x, y});
        if (!aimed) cam.flags &= ~AEGP_LayerFlag_LOOK_AT_POI;
        return cam;
    }
    World frame(double t = 0) {
        World w(AEGP_WorldType_8, 480, 270);
        renderer.render8(comp, t, 4, 4, w);
        return w;
    }
    static ::testing::AssertionResult Is(const World& w, int x, int y, PF_Pixel8 c, int tolerance = 1) {
        const PF_Pixel8 p = *w.pixel8(x, y);
        if (Near(p, c, tolerance)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(p.red) << ","
                                             << int(p.green) << "," << int(p.blue);
    }
    static bool Near(const PF_Pixel8& a, const PF_Pixel8& b, int tolerance = 1) {
        const int most =
            std::max({std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
        return a.alpha == 255 && most <= tolerance;
    }
    // The first and last column of row y of colour c; (-1, -1) when there is none.
    static std::pair<int, int> Run(const World& w, int y, PF_Pixel8 c) {
        std::pair<int, int> r{-1, -1};
        for (int x = 0; x < w.width(); ++x) {
            if (Near(*w.pixel8(x, y), c)) r = {r.first < 0 ? x : r.first, x};
        }
        return r;
    }

    Project project;
    Composition& comp;
    render::SceneRenderer renderer;
};

using CameraRender = RenderTest;
const double kTan10 = std::tan(10 * std::numbers::pi / 180);

TEST_F(CameraRender, TheTopMostCameraWithItsVideoSwitchOnIsUsedOrElseTheDefaultView) {
    solid(kRed, 400, 400, 960, 540, 0);
    solid(kGreen, 400, 400, 960, 540, -10).flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;  // not drawn,
    comp.addNull("Null");                                                         // nor these
    comp.addLight("Light", A_FloatPoint{960, 540});
    const World w = frame();
    EXPECT_TRUE(Is(w, 0, 0, kBackground));
    EXPECT_EQ(Run(w, 135, kRed), std::make_pair(190, 289)) << "400 pixels at a quarter, centred";
    Layer& onRed = camera(960, 540);  // as AEGP_CreateCameraInComp makes one at the centre
    EXPECT_EQ(std::memcmp(frame().data(), w.data(), w.sizeBytes()), 0);

    // The top-most camera with its video switch on is used; with none on, the default view.
    solid(kGreen, 400, 400, 4960, 540, 0);
    Layer& onGreen = camera(4960, 540);
    EXPECT_TRUE(Is(frame(), 240, 135, kGreen));
    onGreen.flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
    EXPECT_TRUE(Is(frame(), 240, 135, kRed));
    onRed.flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
    EXPECT_EQ(std::memcmp(frame().data(), w.data(), w.sizeBytes()), 0);
}

TEST_F(CameraRender, TurningOrAimingTheCameraTurnsThePicture) {
    solid(kRed, 400, 400, 960, 540, 0);
    Layer& cam = camera(960, 540, false);
    cam.set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 10, 0));  // pan right
    const World panned = frame();
    const int centre = static_cast<int>(std::lround(240 - kZoom * kTan10 / 4));
    EXPECT_LT(Run(panned, 135, kRed).first, centre - 40);
    EXPECT_GT(Run(panned, 135, kRed).second, centre + 40);
    cam.set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 0, 0));
    cam.flags |= AEGP_LayerFlag_LOOK_AT_POI;
    cam.set(AEGP_LayerStream_ANCHORPOINT, Value::Three(960 + kZoom * kTan10, 540, 0));
    EXPECT_EQ(Run(frame(), 135, kRed), Run(panned, 135, kRed)) << "a point of interest 10 degrees right";
}

using LayerRender = RenderTest;

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
        {"keyed, between its keys", keyed, 1, {190, 289}},
        {"camera 200 right, twice as close",
         [this](Layer&) {
             camera(960, 540, false).set(AEGP_LayerStream_POSITION, Value::Three(1160, 540, -kZoom / 2));
         },
         0, {40, 239}},
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

}  // namespace
}  // namespace qlo::hostsim::testing
