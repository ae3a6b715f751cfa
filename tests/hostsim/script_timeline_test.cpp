// The timeline scripts the plug-in runs through AEGP_ExecuteScript, against the demo project
// (composition "Demo": 30 fps, 10 s): the composition's time and playback afterwards.
#include <cmath>
#include <cstdio>

#include "platform/runloop.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
using qlo::runloop::RunLoop;

constexpr double kFrame = 1.0 / 30.0;

const char* kStepForward =
    "var c=app.project.activeItem;c.time=Math.min(c.time+c.frameDuration, c.duration-c.frameDuration);";
const char* kStepBack = "var c=app.project.activeItem;c.time=Math.max(0, c.time-c.frameDuration);";
const char* kGoToStart = "app.project.activeItem.time = 0;";
const char* kGoToEnd = "var c=app.project.activeItem;c.time=c.duration-c.frameDuration;";
const char* kTogglePlayback = "app.executeCommand(2285);";
const char* kStepOneFrame =
    "var c=app.project.activeItem;if(c && c instanceof CompItem){c.time=Math.min(c.time+c.frameDuration, "
    "c.duration-c.frameDuration);}";

std::string SeekScript(double seconds) {
    char script[512];
    std::snprintf(script, sizeof script, "app.project.activeItem.time = %.6f;", seconds);
    return script;
}

TEST_F(ScriptFixture, SeekSetsTheTimeClampedToTheComposition) {
    ASSERT_EQ(SeekScript(2.5), "app.project.activeItem.time = 2.500000;");
    const ScriptOutcome out = Run(SeekScript(2.5));
    EXPECT_EQ(out.err, A_Err_NONE);
    EXPECT_EQ(out.result, "2.5") << "the completion value of an assignment";
    EXPECT_FALSE(out.hasError);
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);

    Eval(SeekScript(12.0));
    EXPECT_DOUBLE_EQ(demo->currentTime, 10.0);
    Eval(SeekScript(-1.0));
    EXPECT_DOUBLE_EQ(demo->currentTime, 0.0);
    EXPECT_EQ(LiveMemHandles(plugin), 0u) << "every handle was freed by the caller";
}

TEST_F(ScriptFixture, StepsStayBetweenTheFirstAndTheLastFrame) {
    Eval(kGoToEnd);
    EXPECT_NEAR(demo->currentTime, 10.0 - kFrame, 1e-9) << "one frame before the end";
    Eval(kStepForward);
    EXPECT_NEAR(demo->currentTime, 10.0 - kFrame, 1e-9) << "the last frame stays";
    Eval(kStepBack);
    EXPECT_NEAR(demo->currentTime, 10.0 - 2 * kFrame, 1e-9);

    Eval(kGoToStart);
    EXPECT_DOUBLE_EQ(demo->currentTime, 0.0);
    Eval(kStepBack);
    EXPECT_DOUBLE_EQ(demo->currentTime, 0.0) << "the first frame stays";
    Eval(kStepForward);
    Eval(kStepForward);
    EXPECT_NEAR(demo->currentTime, 2 * kFrame, 1e-9);
}

TEST_F(ScriptFixture, StepOneFrameMovesCompositionsOnlyAndNeverPastTheLastFrame) {
    demo->currentTime = 2.0;
    EXPECT_EQ(Run(kStepOneFrame).err, A_Err_NONE);
    EXPECT_NEAR(demo->currentTime, 2.0 + kFrame, 1e-9);
    demo->currentTime = 10.0 - kFrame;
    Eval(kStepOneFrame);
    EXPECT_NEAR(demo->currentTime, 10.0 - kFrame, 1e-9);

    // Not a composition, or nothing active: the script does nothing and does not fail.
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(Eval(kStepOneFrame), "undefined");
    ASSERT_TRUE(CurrentProject().setActiveItem(0));
    EXPECT_EQ(Eval(kStepOneFrame), "undefined");
    EXPECT_NEAR(demo->currentTime, 10.0 - kFrame, 1e-9);
}

TEST_F(ScriptFixture, TheToggleCommandPlaysAndStopsAndSeekingMovesPlayback) {
    RunLoop::main().useManualClock(true);
    EXPECT_EQ(Run(kTogglePlayback).err, A_Err_NONE);
    ASSERT_TRUE(CurrentProject().playing());

    RunLoop::main().advance(1.0);
    app.runRounds(1);
    EXPECT_NEAR(std::stod(Eval("app.project.activeItem.time")), 1.0, 1e-6)
        << "while playing, the time read is the playback time";

    Eval(SeekScript(5.0));
    EXPECT_TRUE(CurrentProject().playing()) << "seeking does not stop playback";
    RunLoop::main().advance(0.5);
    app.runRounds(1);
    bool previewing = false;
    EXPECT_NEAR(CurrentProject().viewTime(*demo, &previewing), 5.5, 1e-6);
    EXPECT_TRUE(previewing);

    Eval(kTogglePlayback);
    EXPECT_FALSE(CurrentProject().playing()) << "the same command stops playback";
    EXPECT_NEAR(demo->currentTime, 5.5, 1e-6);
    RunLoop::main().useManualClock(false);
}

TEST_F(ScriptFixture, TheToggleCommandFailsWithoutAComposition) {
    ASSERT_TRUE(CurrentProject().setActiveItem(0));
    const ScriptOutcome out = Run(kTogglePlayback);
    EXPECT_EQ(out.err, A_Err_GENERIC);
    EXPECT_FALSE(out.hasResult);
    EXPECT_EQ(out.error, "Error: executeCommand: command 2285 failed (error 1) (line 1)");
    EXPECT_FALSE(CurrentProject().playing());
}

}  // namespace
