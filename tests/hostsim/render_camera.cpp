// The renderer's camera: default view (z = 0 at full scale), top-most enabled camera, turning, aiming, depth of field,
// and nothing drawn from behind it (moving it: render_layers.cpp).
#include <cmath>
#include <cstring>
#include <numbers>

#include "render_fixture.h"

namespace qlo::hostsim::testing {
namespace {

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
    EXPECT_TRUE(Is(panned, 240, 135, kBackground));
    EXPECT_LT(Run(panned, 135, kRed).first, centre - 40);
    EXPECT_GT(Run(panned, 135, kRed).second, centre + 40);
    cam.set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 0, 0));
    cam.flags |= AEGP_LayerFlag_LOOK_AT_POI;
    cam.set(AEGP_LayerStream_ANCHORPOINT, Value::Three(960 + kZoom * kTan10, 540, 0));
    EXPECT_EQ(Run(frame(), 135, kRed), Run(panned, 135, kRed)) << "a point of interest 10 degrees right";
    cam.flags &= ~AEGP_LayerFlag_LOOK_AT_POI;
    cam.set(AEGP_LayerStream_ORIENTATION, Value::Three(0, 0, 45));
    const World rolled = frame();  // the square stands on a corner
    EXPECT_TRUE(Is(rolled, 240 + 60, 135, kRed));
    EXPECT_TRUE(Is(rolled, 240 + 45, 135 + 45, kBackground));
    // Tilt before pan: (40, 40, 0) is RotationY(40) * RotationX(40), the view along
    // (cos 40 sin 40, -sin 40, cos 40 cos 40); a small solid 3000 along it is in the centre.
    const double r = 40 * std::numbers::pi / 180, c = std::cos(r), s = std::sin(r);
    solid(kGreen, 100, 100, 960 + 3000 * c * s, 540 - 3000 * s, -kZoom + 3000 * c * c);
    cam.set(AEGP_LayerStream_ORIENTATION, Value::Three(40, 40, 0));
    EXPECT_TRUE(Is(frame(), 240, 135, kGreen));
}

TEST_F(CameraRender, NothingBehindTheCameraIsDrawn) {
    solid(kRed, 20000, 20000, 960, 540, -kZoom - 400);
    EXPECT_EQ(Run(frame(), 135, kBackground), std::make_pair(0, 479));
    // A floor 200 under the camera, from behind it to 10000 ahead: only its front part shows,
    // below the horizon.
    solid(kGreen, 20000, 20000, 960, 740, 0).set(AEGP_LayerStream_ROTATE_X, Value::One(90));
    const World w = frame();
    const int horizon = static_cast<int>((540 + 200 * kZoom / (10000 + kZoom)) / 4);
    EXPECT_EQ(Run(w, horizon - 2, kBackground), std::make_pair(0, 479));
    EXPECT_EQ(Run(w, horizon + 2, kGreen), std::make_pair(0, 479));
    EXPECT_EQ(Run(w, 269, kGreen), std::make_pair(0, 479));
}


// Depth of field: a layer on the focus plane stays sharp, one far from it is spread over more
// pixels the larger the aperture and the blur level; with depth of field off, nothing changes.
TEST_F(CameraRender, DepthOfFieldBlursByDistanceFromTheFocusPlane) {
    solid(kRed, 400, 400, 660, 540, 0);              // on the focus plane: columns 115 to 214
    solid(kGreen, 1200, 1200, 1860, 540, 2 * kZoom);  // three times as far: columns 265 to 364
    Layer& cam = camera(960, 540);                    // focus distance = zoom: the plane z = 0
    const World sharp = frame();
    EXPECT_EQ(Run(sharp, 135, kRed), std::make_pair(115, 214));
    EXPECT_EQ(Run(sharp, 135, kGreen), std::make_pair(265, 364));
    cam.set(AEGP_LayerStream_APERTURE, Value::One(200));
    EXPECT_EQ(std::memcmp(frame().data(), sharp.data(), sharp.sizeBytes()), 0) << "off: no change";

    // Columns of row 135 left of the green layer that are neither background nor green.
    const auto spread = [&](const World& w) {
        int n = 0;
        for (int x = 220; x < 315; ++x) n += !Near(*w.pixel8(x, 135), kBackground) && !Near(*w.pixel8(x, 135), kGreen);
        return n;
    };
    cam.set(AEGP_LayerStream_DEPTH_OF_FIELD, Value::One(1));
    const World wide = frame();
    for (int x = 100; x < 230; ++x) EXPECT_TRUE(Is(wide, x, 135, *sharp.pixel8(x, 135), 0)) << "in focus: sharp";
    EXPECT_TRUE(Is(wide, 315, 135, kGreen)) << "the middle of the far layer keeps its colour";
    cam.set(AEGP_LayerStream_BLUR_LEVEL, Value::One(50));
    const World half = frame();
    cam.set(AEGP_LayerStream_APERTURE, Value::One(25.3));
    const World small = frame();
    EXPECT_EQ(spread(sharp), 0);
    EXPECT_GT(spread(small), 0);
    EXPECT_GT(spread(half), spread(small));
    EXPECT_GT(spread(wide), spread(half) + 4) << spread(wide) << " " << spread(half);

    // Focused on the far layer instead: it is sharp and the near one is blurred.
    cam.set(AEGP_LayerStream_FOCUS_DISTANCE, Value::One(3 * kZoom));
    cam.set(AEGP_LayerStream_BLUR_LEVEL, Value::One(100));
    cam.set(AEGP_LayerStream_APERTURE, Value::One(200));
    const World far = frame();
    EXPECT_EQ(Run(far, 135, kGreen), std::make_pair(265, 364));
    EXPECT_FALSE(Is(far, 115, 135, kRed)) << "the near layer's edge is soft";
    EXPECT_TRUE(Is(far, 165, 135, kRed));
}

}  // namespace
}  // namespace qlo::hostsim::testing
