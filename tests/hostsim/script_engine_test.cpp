// The ExtendScript engine: results and errors as the plug-in receives them, fresh globals per
// script, the composition's time and playback, the time limit, and the closed host objects.
#include "hostsim/script/extendscript.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
using qlo::hostsim::script::TimeLimitAvailable;

// Results are the completion value as text; errors go to the error handle with their line.
// Text crosses between the engine (CESU-8 inside) and the host (UTF-8) converted both ways; what
// has no UTF-8 form is refused on the way in and shown as U+FFFD on the way out. Host objects are
// closed: no new properties, read-only ones refused, made by the host only.
TEST_F(ScriptFixture, ResultsAndErrorsAsThePluginReceivesThem) {
    const std::string phone = "B\xF0\x9F\x93\xB1";  // "B" and U+1F4F1
    AddCamera(phone);
    const struct {
        const char* script;
        std::string result;  // or, after "!", the error; after "^", the error's beginning
    } kCases[] = {
        {"app.project.activeItem", "[object CompItem]"},
        {"var leftover = 7; leftover", "7"},
        {"typeof leftover", "undefined"},  // every script starts with fresh globals
        {"var a = 1;\nvar b = ;\n", "^SyntaxError: "},
        {"var x = 1;\n\nthrow new Error('boom');", "!Error: boom (line 3)"},
        {"app.project.activeItem.layer({})", "!Error: CompItem.layer: an index or a name is needed (line 1)"},
        {"app.project.activeItem.layer('B\xF0\x9F\x93\xB1').name", phone},
        {"app.project.activeItem.layer('B\xF0\x9F\x93\xB1').name === 'B\\uD83D\\uDCF1'", "true"},
        {"'a\\uDCF1b\\uD83D'", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
        {"app.project.activeItem.layer('B\\uD83D')",
         "!TypeError: text with a lone surrogate (\\uD83D at index 1) cannot be passed to the host (line 1)"},
        {"'ok' + '\xC3'", "!SyntaxError: the script is not valid UTF-8 (byte 8)"},
        {"app.project.activeItem.frameDuration = 1;", "!Error: CompItem.frameDuration is read-only (line 1)"},
        {"app.colour = 'red';", "!Error: property not supported: Application.colour (line 1)"},
        {"var c = app.project.activeItem; c.openInViewer().views[0].activeCamera = c.layer('Floor');",
         "!Error: View.activeCamera: a camera layer of this composition is needed (line 1)"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.script);
        const ScriptOutcome out = Run(c.script);
        if (c.result[0] == '!' || c.result[0] == '^') {
            EXPECT_EQ(std::pair(out.err, out.hasResult), std::pair(A_Err(A_Err_GENERIC), false));
            const size_t shown = c.result[0] == '!' ? std::string::npos : c.result.size() - 1;
            EXPECT_EQ(out.error.substr(0, shown), c.result.substr(1));
        } else {
            EXPECT_EQ(out.result, c.result) << out.error;
        }
    }
    EXPECT_NE(Run("var a = 1;\nvar b = ;\n").error.find("(line 2"), std::string::npos);
    EXPECT_EQ(Viewer::CameraName(demo->id(), app.viewerState().panes[0]), "Active Camera");
    EXPECT_EQ(LiveMemHandles(plugin), 0u);
}

TEST_F(ScriptFixture, TheObjectModelReflectsTheProject) {
    EXPECT_EQ(Eval("app.project.numItems"), "3");
    EXPECT_EQ(Eval("var p = app.project; [p.item(2) instanceof CompItem, p.item(4)].join()"), "true,");
    EXPECT_EQ(Eval("var c = app.project.activeItem; [c.name, c.width, c.height, c.frameRate, c.duration,"
                   " c.frameDuration * 30, c.numLayers, c.typeName].join()"),
              "Demo,1920,1080,30,10,1," + std::to_string(demo->numLayers()) + ",Composition");
    EXPECT_EQ(Eval("var c = app.project.activeItem, l = c.layer('Camera 1');"
                   "[l.name, l.index, l instanceof CameraLayer, c.layer(l.index).name,"
                   " c.layer('nobody'), c.layer(0), c.layer(99)].join()"),
              "Camera 1,1,true,Camera 1,,,");
    ASSERT_TRUE(CurrentProject().setActiveItem(0));
    EXPECT_EQ(Eval("app.project.activeItem === null"), "true");
}

// A composition's time is clamped to it; while it plays the time read is the playback time, and
// setting it moves playback without stopping it; the playback command fails without a composition.
TEST_F(ScriptFixture, TheCompositionsTimeIsClampedAndFollowsPlayback) {
    const struct { const char* script; const char* result; double time; } kSeeks[] = {
        {"app.project.activeItem.time = 2.5", "2.5", 2.5},
        {"app.project.activeItem.time = 12", "12", 10.0},
        {"app.project.activeItem.time = -1", "-1", 0.0},
    };
    for (const auto& c : kSeeks) {
        EXPECT_EQ(Eval(c.script), c.result);
        EXPECT_NEAR(demo->currentTime, c.time, 1e-9) << c.script;
    }
    const std::string toggle = "app.executeCommand(" + std::to_string(AEGP_Cmd_TOGGLE_PLAYBACK) + ");";
    qlo::runloop::RunLoop::main().useManualClock(true);
    Eval("app.project.activeItem.time = 0; " + toggle);
    qlo::runloop::RunLoop::main().advance(1.0);
    app.runRounds(1);
    EXPECT_NEAR(std::stod(Eval("app.project.activeItem.time")), 1.0, 1e-6) << "the playback time";
    Eval("app.project.activeItem.time = 5");
    EXPECT_TRUE(CurrentProject().playing()) << "seeking does not stop playback";
    Eval(toggle);
    qlo::runloop::RunLoop::main().useManualClock(false);
    EXPECT_NEAR(demo->currentTime, 5.0, 1e-6);

    ASSERT_TRUE(CurrentProject().setActiveItem(0));
    const ScriptOutcome out = Run(toggle);
    EXPECT_EQ(std::pair(out.err, out.hasResult), std::pair(A_Err(A_Err_GENERIC), false));
    EXPECT_EQ(out.error, "Error: executeCommand: command 2285 failed (error 1) (line 1)");
    EXPECT_FALSE(CurrentProject().playing());
}

TEST_F(ScriptFixture, ARunawayScriptIsStoppedAndTheNextOneRuns) {
    if (!TimeLimitAvailable()) GTEST_SKIP() << "scripts have no time limit in this build";
    // Stopped inside a loop of host calls, through the suite with the default limit: the call
    // under way completes, and the engine works after.
    const ScriptOutcome out = Run("var c = app.project.activeItem; for (;;) c.time = 1;");
    EXPECT_EQ(out.err, A_Err_GENERIC);
    EXPECT_EQ(out.error, "Error: the script ran longer than 5 s and was stopped");
    EXPECT_EQ(Eval("app.project.activeItem.name"), "Demo");
    EXPECT_DOUBLE_EQ(demo->currentTime, 1.0);
    EXPECT_EQ(LiveMemHandles(plugin), 0u);
}

}  // namespace
