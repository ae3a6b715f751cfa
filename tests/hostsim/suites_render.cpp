// Render Options, Render, World and Utility suites: options stored, rendering and scripts not
// available without a renderer or engine (with a clear message), worlds working, a stand-in
// renderer dropped in.
#include "platform/log.h"
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class RenderSuites : public SuitesTest {
protected:
    void SetUp() override {
        SuitesTest::SetUp();
        log::SetStderrEnabled(false);
    }
    AEGP_RenderOptionsH newOptions() {
        AEGP_RenderOptionsH o = nullptr;
        EXPECT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, ItemHandle(*comp), &o), A_Err_NONE);
        return o;
    }
};

TEST_F(RenderSuites, OptionsStartAtTheCurrentTimeAndRenderingAndScriptsNeedAnEngine) {
    comp->currentTime = 2.5;
    AEGP_RenderOptionsH o = newOptions();
    A_Time t{};
    ASSERT_EQ(RenderOptionsSuite()->AEGP_GetTime(o, &t), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(t), 2.5) << "starts at the composition's current time";
    EXPECT_EQ(RenderOptionsSuite()->AEGP_SetTime(o, A_Time{1, 0}), A_Err_PARAMETER);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_SetWorldType(o, AEGP_WorldType_NONE), A_Err_PARAMETER);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_SetDownsampleFactor(o, 0, 1), A_Err_PARAMETER);

    // Without a renderer: not available, with a clear message.
    log::CaptureSink capture;
    AEGP_FrameReceiptH receipt = nullptr;
    EXPECT_EQ(RenderSuite()->AEGP_RenderAndCheckoutFrame(o, nullptr, nullptr, &receipt), A_Err_NOT_AVAILABLE);
    EXPECT_EQ(receipt, nullptr);
    EXPECT_TRUE(capture.contains("AEGP_RenderAndCheckoutFrame")) << "a clear message";
    EXPECT_EQ(RenderSuite()->AEGP_RenderAndCheckoutFrame(o, nullptr, nullptr, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(LiveFrameReceipts(), 0u);
    EXPECT_EQ(LiveRenderOptions(), 1u);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(o), A_Err_NONE);
    EXPECT_EQ(LiveRenderOptions(), 0u);
    AEGP_RenderOptionsH none = nullptr;
    EXPECT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(
                  kPlugin, ItemHandle(*CurrentProject().findItemByName("Solids")), &none),
              A_Err_PARAMETER);
    EXPECT_EQ(none, nullptr);

    // Nor scripts without an engine.
    AEGP_MemHandle result = nullptr, error = nullptr;
    EXPECT_EQ(UtilitySuite()->AEGP_ExecuteScript(kPlugin, "1", 0, &result, &error), A_Err_NOT_AVAILABLE);
    EXPECT_EQ(result, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(TakeText(error), "script engine not available");
    EXPECT_TRUE(capture.contains("AEGP_ExecuteScript"));
    EXPECT_EQ(UtilitySuite()->AEGP_ExecuteScript(kPlugin, "1", 0, nullptr, nullptr), A_Err_NOT_AVAILABLE);
}

TEST_F(RenderSuites, ARendererCanBeDroppedIn) {
    RenderRequest seen;
    SetFrameRenderer([&](Project&, const RenderRequest& request, World& out) {
        seen = request;
        out.fill8(PF_Pixel8{255, 1, 2, 3});
        return A_Err_NONE;
    });
    AEGP_RenderOptionsH o = newOptions();
    ASSERT_EQ(RenderOptionsSuite()->AEGP_SetTime(o, A_Time{3, 1}), A_Err_NONE);
    ASSERT_EQ(RenderOptionsSuite()->AEGP_SetDownsampleFactor(o, 2, 3), A_Err_NONE);
    AEGP_FrameReceiptH receipt = nullptr;
    ASSERT_EQ(RenderSuite()->AEGP_RenderAndCheckoutFrame(o, nullptr, nullptr, &receipt), A_Err_NONE);
    EXPECT_EQ(seen.comp, comp->id());
    EXPECT_EQ(seen.time, 3.0);
    AEGP_WorldH w = nullptr;
    ASSERT_EQ(RenderSuite()->AEGP_GetReceiptWorld(receipt, &w), A_Err_NONE);
    A_long width = 0, height = 0;
    ASSERT_EQ(WorldSuite()->AEGP_GetSize(w, &width, &height), A_Err_NONE);
    EXPECT_EQ(std::pair(width, height), std::pair(960, 360));
    PF_Pixel8* base = nullptr;
    ASSERT_EQ(WorldSuite()->AEGP_GetBaseAddr8(w, &base), A_Err_NONE);
    EXPECT_EQ(base[0].blue, 3);
    EXPECT_FALSE(DisposeWorld(w)) << "a receipt's world goes with the receipt";
    EXPECT_EQ(LiveFrameReceipts(), 1u);
    ASSERT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_NONE);
    EXPECT_EQ(LiveFrameReceipts(), 0u);
    EXPECT_EQ(LiveWorlds(), 0u);
    EXPECT_EQ(WorldSuite()->AEGP_GetSize(w, &width, &height), A_Err_STRUCT);
    EXPECT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_STRUCT);
    RenderOptionsSuite()->AEGP_Dispose(o);

    // Worlds of its own a plug-in makes start transparent; bad ones are refused.
    w = NewWorld(AEGP_WorldType_8, 3, 2);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(LookupWorld(w)->pixel8(2, 1)->alpha, 0);
    EXPECT_TRUE(DisposeWorld(w));
    EXPECT_EQ(NewWorld(AEGP_WorldType_NONE, 2, 2), nullptr);
    EXPECT_EQ(NewWorld(AEGP_WorldType_8, 0, 2), nullptr);
    EXPECT_EQ(LiveWorlds(), 0u);
}

}  // namespace
}  // namespace qlo::hostsim::testing
