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
}

TEST_F(PluginTest, OnePassAppliesTheCameraChoiceThenTheMotionThenRendersThroughIt) {
    comp->addCamera("Camera 2", A_FloatPoint{960, 540});
    V seen;  // per render: switches of Camera 1 and Camera 2, and Camera 1's Y orientation
    qh::SetFrameRenderer([&](qh::Project&, const qh::RenderRequest&, qh::World&) {
        seen.push_back(std::to_string(on("Camera 1")) + std::to_string(on("Camera 2")) + " " +
                       std::to_string(layer("Camera 1")->get(AEGP_LayerStream_ORIENTATION).y()));
        return A_Err_NONE;
    });
    turn(connect("127.0.0.2", "?deviceName=P1&cameraName=Camera%201", "P1", 1), 25);
    EXPECT_EQ(seen, (V{"10 25.000000"}));
    const V lines = log.lines();
    const auto choice = std::ranges::find(lines, "[Quillo] Phone \"P1\" → camera layer \"Camera 1\"");
    const auto motion = std::ranges::find_if(lines, [](const std::string& l) {
        return l.starts_with("[Quillo Motion] Applying motion ip=\"127.0.0.2\" name=\"P1\" → camera \"Camera 1\"");
    });
    EXPECT_LT(choice, motion);
    EXPECT_NE(motion, lines.end());
}

TEST_F(PluginTest, ACameraChoiceWaitsForACompositionAndWithoutACameraMeansThePhonesOwn) {
    spyRenders();
    qh::CurrentProject().selectItem("Quillo Logo.png");
    connect("127.0.0.2", "?deviceName=P2", "P2", 1);
    // The stream's camera choice is posted just after the phone is listed by name.
    ASSERT_TRUE(WaitFor([] { return g_server->hasPendingSelectCamera(); }));
    g_phoneCameras["P2"].targetCam = "Camera 1";
    pass(3);
    EXPECT_EQ(log.count("[Quillo TL] Active item is not a comp (type=4)"), 1u);  // thinned out
    EXPECT_FALSE(log.contains("→ camera layer"));
    EXPECT_TRUE(renders.empty());  // no composition: nothing is rendered
    qh::CurrentProject().selectItem("Demo");
    pass();
    EXPECT_TRUE(log.contains("[Quillo] Phone \"P2\" → camera layer \"P2\""));
    EXPECT_EQ(g_phoneCameras["P2"].targetCam, "P2");
}
