// Shared by the script and window tests: the application with the demo project (app_fixture.h)
// and scripts run the way the plug-in runs them, through AEGP_ExecuteScript, with the result
// and error handles read and freed through the Memory Suite (suites_fixture.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "suites_fixture.h"

namespace scripttest {

using namespace apptest;

struct ScriptOutcome {
    A_Err err = A_Err_NONE;
    bool hasResult = false;
    std::string result;
    std::string error;
};

class ScriptFixture : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        demo = CurrentProject().findItemByName("Demo")->asComposition();
        ASSERT_NE(demo, nullptr);
    }

    ScriptOutcome Run(const std::string& script) {
        ScriptOutcome out;
        AEGP_MemHandle result = nullptr;
        AEGP_MemHandle error = nullptr;
        out.err = UtilitySuite()->AEGP_ExecuteScript(plugin, script.c_str(), true, &result, &error);
        out.hasResult = result != nullptr;
        if (result != nullptr) out.result = qlo::hostsim::testing::TakeText(result);
        if (error != nullptr) out.error = qlo::hostsim::testing::TakeText(error);
        return out;
    }

    // The result of a script that must succeed.
    std::string Eval(const std::string& script) {
        const ScriptOutcome out = Run(script);
        EXPECT_EQ(out.err, A_Err_NONE) << script << " -> " << out.error;
        return out.result;
    }

    Layer& AddCamera(const std::string& name) {
        return demo->addCamera(name, A_FloatPoint{960, 540}, demo->numLayers());
    }
    // The camera the viewer's pane shows.
    std::string CameraOf(size_t pane) {
        return Viewer::CameraName(demo->id(), app.viewerState().panes.at(pane));
    }

    Composition* demo = nullptr;
};

}  // namespace scripttest
