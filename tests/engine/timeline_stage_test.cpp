// The timeline stage: phone commands carried out by the host's Duktape engine or its playback
// command, and the published timeline state.
#include "timeline_control.h"

class TimelineTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        comp->frameRate = 25.0, comp->duration = 4.0;
        pass();
    }
    void at(const std::string& body, double t) {
        command(body);
        EXPECT_NEAR(comp->currentTime, t, 1e-9) << body;
    }
};

TEST_F(TimelineTest, SeekAndStepsStayBetweenZeroAndTheLastFrameAndShowInTheSamePass) {
    at(R"({"action":"seek","time":1.23456789})", 1.234568);  // six decimals
    EXPECT_EQ(get("/timeline"), R"({"currentTime":1.234568,"duration":4.000000,"fps":25.00,"playing":false})");
    at(R"({"action":"goToEnd"})", 3.96);
    at(R"({"action":"stepForward"})", 3.96);
    at(R"({"action":"stepBack"})", 3.92);
    at(R"({"action":"goToStart"})", 0.0);
    at(R"({"action":"stepBack"})", 0.0);
}

TEST_F(TimelineTest, PlayAndPauseToggleThroughTheHostCommandOrItsScriptFallback) {
    command(R"({"action":"play"})");
    EXPECT_TRUE(qh::CurrentProject().playing());
    pass();
    EXPECT_NE(get("/timeline").find("\"playing\":true"), std::string::npos);
    command(R"({"action":"play"})");
    EXPECT_FALSE(qh::CurrentProject().playing());
    OverrideSuite<AEGP_CommandSuite1>(kAEGPCommandSuite, kAEGPCommandSuiteVersion1,
                                      [](auto& s) { s.AEGP_DoCommand = [](AEGP_Command) -> A_Err { return A_Err_GENERIC; }; });
    command(R"({"action":"pause"})");
    EXPECT_TRUE(qh::CurrentProject().playing());  // through app.executeCommand(2285) in Duktape
}

TEST_F(TimelineTest, AFrameRateTheHostCannotReadIsPublishedAs30) {
    OverrideSuite<AEGP_CompSuite25>(kAEGPCompSuite, kAEGPCompSuiteVersion25, [](auto& s) {
        s.AEGP_GetCompFramerate = [](AEGP_CompH, A_FpLong* fps) -> A_Err { return *fps = 12, A_Err_GENERIC; };
    });
    pass();
    EXPECT_NE(get("/timeline").find("\"fps\":30.00"), std::string::npos);
}
