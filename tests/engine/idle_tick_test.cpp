// The idle tick: the work throttle on the driven clock, the order of the stages within one pass,
// and phones' camera choices.
#include "plugin_fixture.h"

TEST_F(PluginTest, WorkPassesRunAtMostEvery16MsWhileEveryCallCounts) {
    pass();
    const A_long passes = g_cameraListTick, checks = s_camRefreshTick;
    A_long sleep = 50;
    for (int64_t step : {kWorkIntervalNs, 5'000'000L, 11'000'000L}) {  // the second comes 5 ms later
        clockNs += step;
        IdleHook(nullptr, nullptr, &sleep);
        EXPECT_EQ(std::exchange(sleep, 50), 0);
    }
    EXPECT_EQ(g_cameraListTick, passes + 2);
    EXPECT_EQ(s_camRefreshTick, checks + 3);
    EXPECT_EQ(IdleHook(nullptr, nullptr, nullptr), A_Err_NONE);  // a host that gives no sleep slot
}

TEST_F(PluginTest, OnePassAppliesTheMotionToTheChosenCameraThenRendersThroughIt) {
    comp->addCamera("Camera 2", A_FloatPoint{960, 540});
    V seen;  // per render: switches of Camera 1 and Camera 2, and Camera 1's Y orientation
    qh::SetFrameRenderer([&](qh::Project&, const qh::RenderRequest&, qh::World&) {
        seen.push_back(std::to_string(on("Camera 1")) + std::to_string(on("Camera 2")) + " " +
                       std::to_string(layer("Camera 1")->get(AEGP_LayerStream_ORIENTATION).y()));
        return A_Err_NONE;
    });
    turn(connect("127.0.0.2", "?deviceName=P1&cameraName=Camera%201", "P1", 1), 25);
    EXPECT_EQ(seen, (V{"10 25.000000"}));
}

TEST_F(PluginTest, ACameraChoiceWaitsForACompositionAndWithoutACameraMeansThePhonesOwn) {
    spyRenders();
    qh::CurrentProject().selectItem("Quillo Logo.png");
    connect("127.0.0.2", "?deviceName=P2", "P2", 1);  // its camera choice is posted
    g_phoneCameras["P2"].targetCam = "Camera 1";
    pass(3);
    EXPECT_EQ(g_phoneCameras["P2"].targetCam, "Camera 1");  // not taken yet
    EXPECT_TRUE(renders.empty());  // no composition: nothing is rendered
    qh::CurrentProject().selectItem("Demo");
    pass();
    EXPECT_EQ(g_phoneCameras["P2"].targetCam, "P2");
}
