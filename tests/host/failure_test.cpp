// Registration failures and missing suites: later registration steps are skipped, the panel
// suite is still acquired, and a missing suite never unwinds through the host: the boundary
// returns 516, logs one line, and every suite acquired on the way is released.
#include "frame_fixture.h"
#include "base/suite_handler.h"

namespace {

// Idle-hook and panel registrations, which must not happen after a failing step.
int g_idleRegistrations = 0, g_panelRegistrations = 0;
const AEGP_WorkspacePanelSuite1* g_hostPanel = nullptr;

}  // namespace

class FrameFailureTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        g_idleRegistrations = g_panelRegistrations = 0;
        auto& panel = replaceSuite(kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1, &g_hostPanel);
        panel.AEGP_RegisterCreatePanelHook = [](AEGP_PluginID id, const A_u_char* name,
                                                AEGP_CreatePanelHook hook, AEGP_CreatePanelRefcon refcon,
                                                A_Boolean paint) {
            ++g_panelRegistrations;
            return g_hostPanel->AEGP_RegisterCreatePanelHook(id, name, hook, refcon, paint);
        };
    }
    // Attaches the plug-in, whose entry point must fail: no panel registered, only the panel
    // suite held. Gives the host's report.
    std::string attachExpectingFailure() {
        std::string report;
        try {
            attach();
        } catch (const qlo::hostsim::PluginLoadError& e) {
            report = e.what();
        }
        EXPECT_EQ(g_panelRegistrations, 0);
        EXPECT_EQ(panelSuiteHeld(), 1);
        EXPECT_EQ(registry().outstandingTotal(), 1);
        return report;
    }
};

TEST_F(FrameFailureTest, FailingRegistrationStepSkipsLaterStepsButAcquiresPanelSuite) {
    auto& reg = replaceSuite<AEGP_RegisterSuite6>(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
    reg.AEGP_RegisterDeathHook = [](AEGP_PluginID, AEGP_DeathHook, AEGP_DeathRefcon) -> A_Err {
        return A_Err_GENERIC;
    };
    reg.AEGP_RegisterIdleHook = [](AEGP_PluginID, AEGP_IdleHook, AEGP_IdleRefcon) -> A_Err {
        return ++g_idleRegistrations, A_Err_NONE;
    };
    EXPECT_NE(attachExpectingFailure().find("returned error 1"), std::string::npos);
    EXPECT_EQ(g_idleRegistrations, 0);
}

TEST_F(FrameFailureTest, MissingRegisterSuiteIsReportedAs516AndPanelSuiteStillAcquired) {
    registry().remove(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
    // The Command Suite acquired before the missing one is released while unwinding.
    EXPECT_NE(attachExpectingFailure().find("returned error 516"), std::string::npos);
}

TEST_F(FrameFailureTest, MissingSuiteInAHookReturns516AndReleasesWhatWasHeld) {
    attach();
    registry().remove(kAEGPCommandSuite, kAEGPCommandSuiteVersion1);
    log.clear();
    EXPECT_EQ(UpdateMenuHook(nullptr, nullptr, AEGP_WindType_COMP), A_Err_MISSING_SUITE);
    const std::vector<std::string> oneLine{"[Quillo] UpdateMenuHook: host suite missing (error 516)"};
    EXPECT_EQ(log.lines(), oneLine);
    EXPECT_EQ(registry().outstandingTotal(), 1);
}

TEST_F(FrameFailureTest, SuiteHandlerAcquiresEachSuiteOnceAndReleasesAllAlsoWhenOneIsMissing) {
    const int before = registry().outstandingTotal();
    registry().remove(kAEGPItemSuite, kAEGPItemSuiteVersion14);
    int thrown = 0;
    try {
        AEGP_SuiteHandler suites(registry().basic());
        EXPECT_EQ(suites.LayerSuite15(), suites.LayerSuite15());
        EXPECT_EQ(registry().outstandingTotal(), before + 1);
        suites.ItemSuite14();
    } catch (int err) {
        thrown = err;
    }
    EXPECT_EQ(thrown, A_Err_MISSING_SUITE);
    EXPECT_EQ(registry().outstandingTotal(), before);
    EXPECT_EQ(registry().unbalancedReleases(), 0);
    EXPECT_THROW(AEGP_SuiteHandler(nullptr), int);
}
