// Handles of deleted, disposed or freed things go stale: calls fail with A_Err_STRUCT and change
// nothing (out-pointers keep what they held). Also: null handles and out-pointers, forged handles,
// bad indices.
#include <functional>

#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

struct Call {
    const char* what;
    std::function<A_Err()> call;
    A_Err expected = A_Err_STRUCT;
};

void ExpectErrors(const std::vector<Call>& calls) {
    for (const Call& c : calls) EXPECT_EQ(c.call(), c.expected) << c.what;
}

class StaleHandles : public SuitesTest {
protected:
    void SetUp() override {
        SuitesTest::SetUp();
        ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
        ASSERT_EQ(CompSuite()->AEGP_GetCompFromItem(item, &c), A_Err_NONE);
        layer = layerAt(0);
    }
    AEGP_LayerH layerAt(A_long index) {
        AEGP_LayerH l = nullptr;
        EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, index, &l), A_Err_NONE);
        return l;
    }
    AEGP_ItemH item = nullptr;
    AEGP_CompH c = nullptr;
    AEGP_LayerH layer = nullptr;
    // Out-pointers the failing calls must leave as they are.
    A_long n = -7;
    AEGP_ObjectType type = 12345;
    AEGP_ItemType itype = -5;
    A_Time t = Sec(1);
};

// One call per kind of handle, each made stale the way the plug-in can meet it: a deleted layer
// (and its stream), a deleted composition (its item, view and render options), freed memory,
// and a replaced project.
TEST_F(StaleHandles, EveryKindGoesStaleAndFailingCallsChangeNothing) {
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    AEGP_LayerH second = layerAt(1);
    AEGP_StreamRefH s = OpenStream(layer, AEGP_LayerStream_POSITION);
    AEGP_RenderOptionsH options = NewOptions(*comp);
    AEGP_MemHandle mem = nullptr;
    ASSERT_EQ(MemorySuite()->AEGP_NewMemHandle(kPlugin, "test", 16, AEGP_MemFlag_CLEAR, &mem),
              A_Err_NONE);
    ASSERT_EQ(MemorySuite()->AEGP_FreeMemHandle(mem), A_Err_NONE);

    ASSERT_TRUE(CurrentProject().deleteLayer(LayerFromHandle(layer)->id()));
    AEGP_KeyframeIndex index = -7;
    ExpectErrors({
        {"layer", [&] { return LayerSuite()->AEGP_GetLayerObjectType(layer, &type); }},
        {"stream",
         [&] { return KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, &t, &index); }},
    });
    AEGP_MemHandle name = nullptr;
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, second, &name, nullptr), A_Err_NONE);
    EXPECT_EQ(Utf16ToUtf8(TakeUtf16(name)), comp->layerAt(0)->name);
    EXPECT_EQ(layerAt(0), second) << "the layers left keep their handles";
    ASSERT_TRUE(CurrentProject().deleteItem(comp->id()));
    comp = nullptr;

    AEGP_LayerH cam = nullptr;
    A_Boolean previewing = 3;
    void* p = reinterpret_cast<void*>(0x1);
    const A_UTF16Char camName[] = {'C', 0};
    ExpectErrors({
        {"comp",
         [&] { return CompSuite()->AEGP_CreateCameraInComp(camName, A_FloatPoint{0, 0}, c, &cam); }},
        {"item", [&] { return ItemSuite()->AEGP_GetItemType(item, &itype); }},
        {"view", [&] { return ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t); }},
        {"options", [&] { return RenderOptionsSuite()->AEGP_SetTime(options, Sec(2)); }},
        {"memory", [&] { return MemorySuite()->AEGP_LockMemHandle(mem, &p); }},
    });
    EXPECT_EQ(std::tuple(type, index, cam, itype, previewing, Seconds(t), p),
              std::tuple(12345, -7, nullptr, -5, 3, 1.0, reinterpret_cast<void*>(0x1)));

    // Disposing a stale reference reports it, and releases the host's record all the same.
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_STRUCT);
    EXPECT_EQ(std::pair(LiveStreamRefs(), LiveRenderOptions()), std::pair(size_t{0}, size_t{0}));

    SetCurrentProject(MakeDemoProject());  // the same content, new objects
    AEGP_ItemH first = nullptr;
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &first), A_Err_STRUCT);
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&first), A_Err_NONE);
    EXPECT_NE(first, item);
}

TEST_F(StaleHandles, ForgedAndNullHandlesNullOutPointersAndBadIndices) {
    int local = 0;
    AEGP_LayerH layerOut = nullptr;
    const A_long last = static_cast<A_long>(comp->numLayers());
    AEGP_StreamRefH s = OpenStream(layer, AEGP_LayerStream_OPACITY);
    const A_Err P = A_Err_PARAMETER;
    ExpectErrors({
        {"forged item",
         [&] { return ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(&local), &itype); }},
        {"null item", [&] { return ItemSuite()->AEGP_GetItemType(nullptr, &itype); }, P},
        {"null item type", [&] { return ItemSuite()->AEGP_GetItemType(item, nullptr); }, P},
        {"index past end", [&] { return LayerSuite()->AEGP_GetCompLayerByIndex(c, last, &layerOut); }, P},
        {"keyframe of none",
         [&] { return KeyframeSuite()->AEGP_GetKeyframeTime(s, 0, AEGP_LTimeMode_CompTime, &t); }, P},
    });
    EXPECT_EQ(std::tuple(layerOut, type, itype), std::tuple(nullptr, 12345, -5));
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
