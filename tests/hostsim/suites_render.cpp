// Render Options, Render, World and Utility suites: options stored, rendering and scripts not
// available without a renderer or engine (with a clear message), worlds working, a stand-in
// renderer dropped in, and frames from the scene renderer through them.
#include <cstring>
#include <vector>

#include "hostsim/render/scene_renderer.h"
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
};

TEST_F(RenderSuites, OptionsStartAtTheCurrentTimeAndRenderingAndScriptsNeedAnEngine) {
    comp->currentTime = 2.5;
    AEGP_RenderOptionsH o = NewOptions(*comp);
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
    EXPECT_EQ(std::pair(LiveFrameReceipts(), LiveRenderOptions()), std::pair(size_t{0}, size_t{1}));
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
    AEGP_RenderOptionsH o = NewOptions(*comp);
    ASSERT_EQ(RenderOptionsSuite()->AEGP_SetTime(o, A_Time{3, 1}), A_Err_NONE);
    ASSERT_EQ(RenderOptionsSuite()->AEGP_SetDownsampleFactor(o, 2, 3), A_Err_NONE);
    AEGP_FrameReceiptH receipt = nullptr;
    ASSERT_EQ(RenderSuite()->AEGP_RenderAndCheckoutFrame(o, nullptr, nullptr, &receipt), A_Err_NONE);
    EXPECT_EQ(std::pair(seen.comp, seen.time), std::pair(comp->id(), 3.0));
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
    EXPECT_EQ(std::pair(LiveFrameReceipts(), LiveWorlds()), std::pair(size_t{0}, size_t{0}));
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

// Frames from the scene renderer, as the plug-in asks for them.
class SuiteFrames : public SuitesTest {
protected:
    void SetUp() override {
        SuitesTest::SetUp();
        render::UseSceneRenderer();
    }
    // Renders as the plug-in does; the receipt's world (left checked out), null on failure.
    AEGP_WorldH checkout(Composition& c, AEGP_RenderSuiteCheckForCancellation cancel = nullptr,
                         AEGP_WorldType type = AEGP_WorldType_8) {
        AEGP_RenderOptionsH o = NewOptions(c);
        RenderOptionsSuite()->AEGP_SetDownsampleFactor(o, 4, 4);
        RenderOptionsSuite()->AEGP_SetWorldType(o, type);
        receipt = nullptr;
        err = RenderSuite()->AEGP_RenderAndCheckoutFrame(o, cancel, reinterpret_cast<AEGP_CancelRefcon>(&asked), &receipt);
        RenderOptionsSuite()->AEGP_Dispose(o);
        AEGP_WorldH w = nullptr;
        if (receipt && RenderSuite()->AEGP_GetReceiptWorld(receipt, &w) != A_Err_NONE) {
            ADD_FAILURE() << "no world";
        }
        return w;
    }
    static uint8_t* Base(AEGP_WorldH w) {
        PF_Pixel8* p = nullptr;
        EXPECT_EQ(WorldSuite()->AEGP_GetBaseAddr8(w, &p), A_Err_NONE);
        return reinterpret_cast<uint8_t*>(p);
    }
    AEGP_FrameReceiptH receipt = nullptr;
    A_Err err = A_Err_NONE;
    int asked = 0;
};

TEST_F(SuiteFrames, TheDemoAtAQuarterIs480By270AndRendersTheSameTwice) {
    AEGP_WorldH w = checkout(*comp);
    A_long width = 0, height = 0;
    ASSERT_EQ(WorldSuite()->AEGP_GetSize(w, &width, &height), A_Err_NONE);
    ASSERT_EQ(std::pair(width, height), std::pair(480, 270));
    const std::vector<uint8_t> first(Base(w), Base(w) + 270 * 1920);
    const PF_Pixel8 centre = reinterpret_cast<PF_Pixel8*>(Base(w))[135 * 480 + 240];  // the green plane
    EXPECT_TRUE(centre.alpha == 255 && centre.green > 150 && centre.red < 100);
    ASSERT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_NONE);
    EXPECT_EQ(std::memcmp(first.data(), Base(checkout(*comp)), first.size()), 0);
}

TEST_F(SuiteFrames, RowsArePaddedAndReadAtTheirRowBytes) {
    Composition& c = CurrentProject().addComposition("Odd", 1924, 1080, 30, 1);  // 481 wide
    c.backgroundColor = Value::Rgba(0, 0, 1, 0);  // drawn opaque whatever its alpha
    c.addSolid("Bottom", Value::Rgba(1, 0, 0), 1924, 540).set(AEGP_LayerStream_POSITION, Value::Three(962, 810, 0));
    AEGP_WorldH w = checkout(c);
    A_u_long rowBytes = 0;
    ASSERT_EQ(WorldSuite()->AEGP_GetRowBytes(w, &rowBytes), A_Err_NONE);
    EXPECT_EQ(rowBytes, 1936u);
    auto at = [&](int x, int y) { return reinterpret_cast<PF_Pixel8*>(Base(w) + y * rowBytes)[x]; };
    for (int y : {0, 134}) EXPECT_TRUE(at(480, y).blue == 255 && at(480, y).alpha == 255) << y;
    for (int y : {135, 269}) EXPECT_TRUE(at(0, y).red == 255 && at(480, y).red == 255 && at(480, y).blue == 0) << y;
}

TEST_F(SuiteFrames, DeeperWorldsHoldTheSamePicture) {
    Composition& c = CurrentProject().addComposition("Plain", 64, 64, 30, 1);
    c.backgroundColor = Value::Rgba(1, 0, 0);
    const auto* p16 = reinterpret_cast<const uint16_t*>(LookupWorld(checkout(c, nullptr, AEGP_WorldType_16))->data());
    EXPECT_TRUE(p16[0] == 32768 && p16[1] == 32768 && p16[2] == 0) << "alpha, red, green of 0..32768";
    const auto* p32 = reinterpret_cast<const float*>(LookupWorld(checkout(c, nullptr, AEGP_WorldType_32))->data());
    EXPECT_TRUE(p32[0] == 1.0f && p32[3] == 0.0f);
}

TEST_F(SuiteFrames, ACancelledRenderGivesNoFrame) {
    auto stop = [](AEGP_CancelRefcon refcon, A_Boolean* stopB) -> A_Err {
        *stopB = static_cast<A_Boolean>(++*reinterpret_cast<int*>(refcon));
        return A_Err_NONE;
    };
    EXPECT_EQ(checkout(*comp, stop), nullptr);
    EXPECT_TRUE(err == A_Err_GENERIC && asked == 1 && LiveWorlds() == 0);
}

}  // namespace
}  // namespace qlo::hostsim::testing
