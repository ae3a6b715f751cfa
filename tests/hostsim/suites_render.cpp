// Render Options, Render and World suites: a stand-in renderer dropped in, and frames from the
// scene renderer through them.
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
    ASSERT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_NONE);
    EXPECT_EQ(std::pair(LiveFrameReceipts(), LiveWorlds()), std::pair(size_t{0}, size_t{0}));
    EXPECT_EQ(WorldSuite()->AEGP_GetSize(w, &width, &height), A_Err_STRUCT);
    EXPECT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_STRUCT);
    RenderOptionsSuite()->AEGP_Dispose(o);
}

// A frame from the scene renderer, asked for as the plug-in asks.
TEST_F(RenderSuites, SceneFramesRowsArePaddedAndReadAtTheirRowBytes) {
    render::UseSceneRenderer();
    Composition& c = CurrentProject().addComposition("Odd", 1924, 1080, 30, 1);  // 481 wide
    c.backgroundColor = Value::Rgba(0, 0, 1, 0);  // drawn opaque whatever its alpha
    c.addSolid("Bottom", Value::Rgba(1, 0, 0), 1924, 540)
        .set(AEGP_LayerStream_POSITION, Value::Three(962, 810, 0));
    AEGP_RenderOptionsH o = NewOptions(c);
    RenderOptionsSuite()->AEGP_SetDownsampleFactor(o, 4, 4);
    RenderOptionsSuite()->AEGP_SetWorldType(o, AEGP_WorldType_8);
    AEGP_FrameReceiptH receipt = nullptr;
    ASSERT_EQ(RenderSuite()->AEGP_RenderAndCheckoutFrame(o, nullptr, nullptr, &receipt), A_Err_NONE);
    RenderOptionsSuite()->AEGP_Dispose(o);
    AEGP_WorldH w = nullptr;
    A_u_long rowBytes = 0;
    PF_Pixel8* base = nullptr;
    ASSERT_TRUE(RenderSuite()->AEGP_GetReceiptWorld(receipt, &w) == A_Err_NONE &&
                WorldSuite()->AEGP_GetRowBytes(w, &rowBytes) == A_Err_NONE &&
                WorldSuite()->AEGP_GetBaseAddr8(w, &base) == A_Err_NONE);
    EXPECT_EQ(rowBytes, 1936u);
    const auto* bytes = reinterpret_cast<const uint8_t*>(base);
    auto at = [&](int x, int y) { return reinterpret_cast<const PF_Pixel8*>(bytes + y * rowBytes)[x]; };
    for (int y : {0, 134}) EXPECT_TRUE(at(480, y).blue == 255 && at(480, y).alpha == 255) << y;
    for (int y : {135, 269})
        EXPECT_TRUE(at(0, y).red == 255 && at(480, y).red == 255 && at(480, y).blue == 0) << y;
    EXPECT_EQ(RenderSuite()->AEGP_CheckinFrame(receipt), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
