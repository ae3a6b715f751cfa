// Handles of deleted, disposed or freed things go stale: calls fail with A_Err_STRUCT and change
// nothing (out-pointers keep what they held). Also: null handles and out-pointers, wrong kinds,
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
    for (const Call& c : calls) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.expected);
    }
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
    AEGP_StreamRefH stream(AEGP_LayerStream which) { return OpenStream(layer, which); }
    AEGP_ItemH item = nullptr;
    AEGP_CompH c = nullptr;
    AEGP_LayerH layer = nullptr;
    // Out-pointers the failing calls must leave as they are.
    A_long n = -7;
    AEGP_ObjectType type = 12345;
    AEGP_ItemType itype = -5;
    AEGP_MemHandle name = nullptr;
    AEGP_StreamRefH otherStream = nullptr;
    A_Time t = Sec(1);
};

TEST_F(StaleHandles, DeletedLayerAndItsStreamsWhileOtherLayersStayValid) {
    AEGP_LayerH second = layerAt(1);
    AEGP_StreamRefH s = stream(AEGP_LayerStream_POSITION);
    const size_t layersBefore = comp->numLayers();
    ASSERT_TRUE(CurrentProject().deleteLayer(LayerFromHandle(layer)->id()));

    AEGP_StreamValue2 value{};
    AEGP_KeyframeIndex index = -7;
    ExpectErrors({
        {"GetLayerName", [&] { return LayerSuite()->AEGP_GetLayerName(kPlugin, layer, &name, &name); }},
        {"GetLayerObjectType", [&] { return LayerSuite()->AEGP_GetLayerObjectType(layer, &type); }},
        {"SetLayerFlag", [&] { return LayerSuite()->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, 0); }},
        {"GetNewLayerStream", [&] { return StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, &otherStream); }},
        {"GetNewStreamValue", [&] { return StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, &t, 0, &value); }},
        {"SetStreamValue", [&] { return StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &value); }},
        {"GetStreamNumKFs", [&] { return KeyframeSuite()->AEGP_GetStreamNumKFs(s, &n); }},
        {"InsertKeyframe", [&] { return KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, &t, &index); }},
        {"DeleteKeyframe", [&] { return KeyframeSuite()->AEGP_DeleteKeyframe(s, 0); }},
        {"SetKeyframeValue", [&] { return KeyframeSuite()->AEGP_SetKeyframeValue(s, 0, &value); }},
    });
    EXPECT_EQ(std::tuple(name, type, otherStream, value.streamH, n, index),
              std::tuple(nullptr, 12345, nullptr, nullptr, -7, -7));

    // Disposing the stale reference reports it, and releases the host's record all the same.
    EXPECT_EQ(LiveStreamRefs(), 1u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_STRUCT);
    EXPECT_EQ(comp->numLayers(), layersBefore - 1);

    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, second, &name, nullptr), A_Err_NONE);
    EXPECT_EQ(Utf16ToUtf8(TakeUtf16(name)), comp->layerAt(0)->name);
    EXPECT_EQ(layerAt(0), second) << "the same layer keeps the same handle";
}

TEST_F(StaleHandles, DeletedCompositionItemViewAndReplacedProject) {
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    AEGP_StreamRefH s = stream(AEGP_LayerStream_ZOOM);
    AEGP_RenderOptionsH options = NewOptions(*comp);
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    ASSERT_TRUE(CurrentProject().deleteItem(ItemFromHandle(footage)->id()));
    const size_t items = CurrentProject().numItems();
    ASSERT_TRUE(CurrentProject().deleteItem(comp->id()));
    comp = nullptr;

    A_FpLong fps = -1;
    AEGP_LayerH cam = nullptr;
    AEGP_RenderOptionsH newOptions = nullptr;
    AEGP_ItemH next = nullptr;
    A_Boolean previewing = 3;
    const A_UTF16Char camName[] = {'C', 0};
    ExpectErrors({
        {"GetCompNumLayers", [&] { return LayerSuite()->AEGP_GetCompNumLayers(c, &n); }},
        {"GetCompFramerate", [&] { return CompSuite()->AEGP_GetCompFramerate(c, &fps); }},
        {"CreateCameraInComp", [&] { return CompSuite()->AEGP_CreateCameraInComp(camName, A_FloatPoint{0, 0}, c, &cam); }},
        {"GetItemType", [&] { return ItemSuite()->AEGP_GetItemType(item, &itype); }},
        {"GetLayerObjectType", [&] { return LayerSuite()->AEGP_GetLayerObjectType(layer, &type); }},
        {"GetStreamNumKFs", [&] { return KeyframeSuite()->AEGP_GetStreamNumKFs(s, &n); }},
        {"GetItemViewPlaybackTime", [&] { return ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t); }},
        {"SetTime", [&] { return RenderOptionsSuite()->AEGP_SetTime(options, Sec(1)); }},
        {"GetNextProjItem footage", [&] { return ItemSuite()->AEGP_GetNextProjItem(project, footage, &next); }},
        {"GetItemName footage", [&] { return ItemSuite()->AEGP_GetItemName(kPlugin, footage, &name); }},
        {"NewFromItem footage", [&] { return RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, footage, &newOptions); }},
    });
    EXPECT_EQ(std::tuple(n, fps, cam, itype, type, previewing, next, name, newOptions),
              std::tuple(-7, -1.0, nullptr, -5, 12345, 3, nullptr, nullptr, nullptr));
    EXPECT_EQ(CurrentProject().numItems(), items - 1);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_STRUCT);
    EXPECT_EQ(LiveRenderOptions(), 0u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);

    SetCurrentProject(MakeDemoProject());  // the same content, new objects
    AEGP_ItemH first = nullptr;
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &first), A_Err_STRUCT);
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&first), A_Err_NONE);
    EXPECT_NE(first, item);
}

TEST_F(StaleHandles, ClosedViewerFreedMemoryDisposedStreamOptionsAndWorld) {
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    CurrentProject().closeViewer(comp->id());
    const auto* mem = MemorySuite();
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "test", 16, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    ASSERT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
    AEGP_StreamRefH s = stream(AEGP_LayerStream_OPACITY);
    ASSERT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
    AEGP_RenderOptionsH options = NewOptions(*comp);
    ASSERT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_NONE);
    AEGP_WorldH world = NewWorld(AEGP_WorldType_8, 4, 4);
    ASSERT_TRUE(DisposeWorld(world));

    void* p = reinterpret_cast<void*>(0x1);
    AEGP_MemSize size = 77;
    A_Boolean previewing = 3;
    ExpectErrors({
        {"GetItemViewPlaybackTime", [&] { return ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t); }},
        {"LockMemHandle", [&] { return mem->AEGP_LockMemHandle(h, &p); }},
        {"GetMemHandleSize", [&] { return mem->AEGP_GetMemHandleSize(h, &size); }},
        {"FreeMemHandle twice", [&] { return mem->AEGP_FreeMemHandle(h); }},
        {"GetStreamNumKFs", [&] { return KeyframeSuite()->AEGP_GetStreamNumKFs(s, &n); }},
        {"DisposeStream twice", [&] { return StreamSuite()->AEGP_DisposeStream(s); }},
        {"GetTime", [&] { return RenderOptionsSuite()->AEGP_GetTime(options, &t); }},
        {"Dispose options twice", [&] { return RenderOptionsSuite()->AEGP_Dispose(options); }},
        {"GetSize world", [&] { return WorldSuite()->AEGP_GetSize(world, &n, &n); }},
    });
    EXPECT_EQ(std::tuple(previewing, p, size, n), std::tuple(3, reinterpret_cast<void*>(0x1), 77u, -7));
    EXPECT_FALSE(DisposeWorld(world));
}

TEST_F(StaleHandles, WrongKindsForgedAndNullHandlesOutPointersAndBadIndices) {
    int local = 0;
    AEGP_ItemH itemOut = nullptr;
    AEGP_LayerH layerOut = nullptr;
    AEGP_ProjectH project = nullptr;
    AEGP_StreamValue2 v{};
    const A_UTF16Char camName[] = {'X', 0};
    const A_long last = static_cast<A_long>(comp->numLayers());
    AEGP_StreamRefH s = stream(AEGP_LayerStream_OPACITY);
    const A_Err P = A_Err_PARAMETER;
    ExpectErrors({
        {"layer from item", [&] { return LayerSuite()->AEGP_GetLayerObjectType(reinterpret_cast<AEGP_LayerH>(item), &type); }},
        {"comp from item", [&] { return LayerSuite()->AEGP_GetCompNumLayers(reinterpret_cast<AEGP_CompH>(item), &n); }},
        {"item from comp", [&] { return ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(c), &itype); }},
        {"item from layer", [&] { return ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(layer), &itype); }},
        {"forged item", [&] { return ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(&local), &itype); }},
        {"forged memory", [&] { return MemorySuite()->AEGP_FreeMemHandle(reinterpret_cast<AEGP_MemHandle>(&local)); }},
        {"null item", [&] { return ItemSuite()->AEGP_GetItemType(nullptr, &itype); }, P},
        {"null item type", [&] { return ItemSuite()->AEGP_GetItemType(item, nullptr); }, P},
        {"null project", [&] { return ItemSuite()->AEGP_GetFirstProjItem(nullptr, &itemOut); }, P},
        {"null flags", [&] { return LayerSuite()->AEGP_GetLayerFlags(layer, nullptr); }, P},
        {"null stream value", [&] { return StreamSuite()->AEGP_DisposeStreamValue(nullptr); }, P},
        {"null camera name", [&] { return CompSuite()->AEGP_CreateCameraInComp(nullptr, A_FloatPoint{0, 0}, c, &layerOut); }, P},
        {"null camera out", [&] { return CompSuite()->AEGP_CreateCameraInComp(camName, A_FloatPoint{0, 0}, c, nullptr); }, P},
        {"null memory", [&] { return MemorySuite()->AEGP_FreeMemHandle(nullptr); }, P},
        {"layer index past end", [&] { return LayerSuite()->AEGP_GetCompLayerByIndex(c, last, &layerOut); }, P},
        {"layer index -1", [&] { return LayerSuite()->AEGP_GetCompLayerByIndex(c, -1, &layerOut); }, P},
        {"project index 1", [&] { return ProjSuite()->AEGP_GetProjectByIndex(1, &project); }, P},
        {"keyframe time of none", [&] { return KeyframeSuite()->AEGP_GetKeyframeTime(s, 0, AEGP_LTimeMode_CompTime, &t); }, P},
        {"delete keyframe of none", [&] { return KeyframeSuite()->AEGP_DeleteKeyframe(s, 0); }, P},
        {"set keyframe of none", [&] { return KeyframeSuite()->AEGP_SetKeyframeValue(s, 0, &v); }, P},
    });
    EXPECT_EQ(std::tuple(layerOut, itemOut, project), std::tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<A_long>(comp->numLayers()), last) << "a failed call adds nothing";
    // Handles are tokens, not addresses of host objects.
    EXPECT_NE(reinterpret_cast<void*>(item), static_cast<void*>(comp));
    EXPECT_NE(reinterpret_cast<void*>(layer), static_cast<void*>(comp->layerAt(0)));
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
