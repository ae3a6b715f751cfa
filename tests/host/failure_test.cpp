// Registration failures and missing suites: later registration steps are skipped, the panel
// suite is still acquired, and a missing suite never unwinds through the host: the boundary
// returns 516, logs one line, and every suite acquired on the way is released.
#include "frame_fixture.h"
#include "base/suite_handler.h"

namespace {

// Idle-hook and panel registrations, which must not happen after a failing step.
int g_idleRegistrations = 0, g_panelRegistrations = 0;
const AEGP_WorkspacePanelSuite1* g_hostPanel = nullptr;

// The error `f` throws, 0 if none.
template <class F>
int Thrown(F f) {
    try {
        f();
    } catch (int err) {
        return err;
    }
    return 0;
}

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

    // Attaches the plug-in; gives the host's report when its entry point failed.
    std::string attachExpectingFailure() {
        try {
            attach();
        } catch (const qlo::hostsim::PluginLoadError& e) {
            return e.what();
        }
        return "";
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
    EXPECT_EQ(g_panelRegistrations, 0);
    EXPECT_EQ(panelSuiteHeld(), 1);
    EXPECT_NE(g_panelSuite, nullptr);
    // Only the panel suite stays held: the registration's suite handler released the rest.
    EXPECT_EQ(registry().outstandingTotal(), 1);
}

TEST_F(FrameFailureTest, MissingRegisterSuiteIsReportedAs516AndPanelSuiteStillAcquired) {
    registry().remove(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);

    EXPECT_NE(attachExpectingFailure().find("returned error 516"), std::string::npos);
    EXPECT_EQ(log.count("host suite missing (error 516)"), 1u);
    EXPECT_EQ(g_panelRegistrations, 0);
    EXPECT_EQ(panelSuiteHeld(), 1);
    // The Command Suite acquired before the missing one was released while unwinding.
    EXPECT_EQ(registry().outstandingTotal(), 1);
}

TEST_F(FrameFailureTest, MissingSuiteInAHookReturns516AndReleasesWhatWasHeld) {
    attach();
    ASSERT_EQ(g_panelRegistrations, 1);
    registry().remove(kAEGPCommandSuite, kAEGPCommandSuiteVersion1);
    log.clear();

    EXPECT_EQ(UpdateMenuHook(nullptr, nullptr, AEGP_WindType_COMP), A_Err_MISSING_SUITE);
    const std::string missing = "[Quillo] UpdateMenuHook: host suite missing (error 516)";
    EXPECT_EQ(log.lines(), std::vector<std::string>{missing});
    EXPECT_EQ(registry().outstandingTotal(), 1);
}

TEST_F(FrameFailureTest, SuiteHandlerAcquiresEachSuiteOnceAndReleasesAll) {
    const int before = registry().outstandingTotal();
    const int layerAcquisitions = registry().acquired(kAEGPLayerSuite, kAEGPLayerSuiteVersion15);
    {
        AEGP_SuiteHandler suites(registry().basic());
        const auto* first = suites.LayerSuite15();
        EXPECT_EQ(suites.LayerSuite15(), first);
        suites.MemorySuite1();
        EXPECT_EQ(registry().acquired(kAEGPLayerSuite, kAEGPLayerSuiteVersion15), layerAcquisitions + 1);
        EXPECT_EQ(registry().outstandingTotal(), before + 2);
    }
    EXPECT_EQ(registry().outstandingTotal(), before);

    // A missing suite throws 516; the suites acquired before it are released on the way out.
    registry().remove(kAEGPItemSuite, kAEGPItemSuiteVersion14);
    EXPECT_EQ(Thrown([&] {
                  AEGP_SuiteHandler suites(registry().basic());
                  suites.LayerSuite15();
                  suites.ItemSuite14();
              }),
              A_Err_MISSING_SUITE);
    EXPECT_EQ(registry().outstandingTotal(), before);
    EXPECT_EQ(registry().unbalancedReleases(), 0);
    EXPECT_EQ(Thrown([] { AEGP_SuiteHandler suites(nullptr); }), A_Err_MISSING_SUITE);
}
