// Handles of deleted, disposed or freed things go stale: calls fail with A_Err_STRUCT and change
// nothing (out-pointers keep what they held). Also: null handles and out-pointers, wrong kinds,
// bad indices.
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class StaleHandles : public SuitesTest {
protected:
    AEGP_ItemH demoItem() {
        AEGP_ItemH item = nullptr;
        EXPECT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
        return item;
    }
    AEGP_CompH demoComp() {
        AEGP_CompH c = nullptr;
        EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(demoItem(), &c), A_Err_NONE);
        return c;
    }
    AEGP_LayerH layerAt(A_long index) {
        AEGP_LayerH l = nullptr;
        EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(demoComp(), index, &l), A_Err_NONE);
        return l;
    }
};

TEST_F(StaleHandles, DeletedLayerAndItsStreamsWhileOtherLayersStayValid) {
    AEGP_LayerH layer = layerAt(0);
    AEGP_LayerH second = layerAt(1);
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, &stream), A_Err_NONE);
    const size_t layersBefore = comp->numLayers();
    ASSERT_TRUE(CurrentProject().deleteLayer(LayerFromHandle(layer)->id()));

    AEGP_MemHandle name = nullptr, source = nullptr;
    AEGP_ObjectType type = 12345;
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, layer, &name, &source), A_Err_STRUCT);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(source, nullptr);
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerObjectType(layer, &type), A_Err_STRUCT);
    EXPECT_EQ(type, 12345);
    EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, 0), A_Err_STRUCT);

    AEGP_StreamRefH another = nullptr;
    EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, &another), A_Err_STRUCT);
    EXPECT_EQ(another, nullptr);
    const A_Time t = Sec(1);
    AEGP_StreamValue2 value{};
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, stream, AEGP_LTimeMode_CompTime, &t, 0, &value),
              A_Err_STRUCT);
    EXPECT_EQ(value.streamH, nullptr);
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, stream, &value), A_Err_STRUCT);
    A_long n = -7;
    AEGP_KeyframeIndex index = -7;
    EXPECT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(stream, &n), A_Err_STRUCT);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(stream, AEGP_LTimeMode_CompTime, &t, &index), A_Err_STRUCT);
    EXPECT_EQ(index, -7);
    EXPECT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(stream, 0), A_Err_STRUCT);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeValue(stream, 0, &value), A_Err_STRUCT);

    // Disposing the stale reference reports it, and releases the host's record all the same.
    EXPECT_EQ(LiveStreamRefs(), 1u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveMemHandles(), 0u);  // nothing was allocated on the way
    EXPECT_EQ(comp->numLayers(), layersBefore - 1);

    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, second, &name, nullptr), A_Err_NONE);
    EXPECT_EQ(Utf16ToUtf8(TakeUtf16(name)), comp->layerAt(0)->name);
    EXPECT_EQ(layerAt(0), second) << "the same layer keeps the same handle";
}

TEST_F(StaleHandles, DeletedCompositionTakesItsLayersStreamsViewAndOptions) {
    AEGP_ItemH item = demoItem();
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = layerAt(0);
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_ZOOM, &stream), A_Err_NONE);
    AEGP_RenderOptionsH options = nullptr;
    ASSERT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, item, &options), A_Err_NONE);
    const size_t items = CurrentProject().numItems();
    ASSERT_TRUE(CurrentProject().deleteItem(comp->id()));
    comp = nullptr;

    A_long n = -1;
    A_FpLong fps = -1;
    AEGP_LayerH cam = nullptr;
    AEGP_ItemType itype = -5;
    const A_UTF16Char camName[] = {'C', 0};
    EXPECT_EQ(LayerSuite()->AEGP_GetCompNumLayers(c, &n), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_GetCompFramerate(c, &fps), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(camName, A_FloatPoint{0, 0}, c, &cam), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(item, &itype), A_Err_STRUCT);
    EXPECT_EQ(std::tuple(n, fps, cam, itype), std::tuple(-1, -1.0, nullptr, -5));
    EXPECT_EQ(CurrentProject().numItems(), items - 1);

    AEGP_ObjectType type;
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerObjectType(layer, &type), A_Err_STRUCT);
    A_long kfs;
    EXPECT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(stream, &kfs), A_Err_STRUCT);
    A_Boolean previewing;
    A_Time t;
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_SetTime(options, Sec(1)), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_STRUCT);
    EXPECT_EQ(LiveRenderOptions(), 0u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

TEST_F(StaleHandles, DeletedItemClosedViewAndReplacedProject) {
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    ASSERT_TRUE(CurrentProject().deleteItem(ItemFromHandle(footage)->id()));
    AEGP_ItemH next = nullptr;
    AEGP_MemHandle name = nullptr;
    AEGP_RenderOptionsH options = nullptr;
    EXPECT_EQ(ItemSuite()->AEGP_GetNextProjItem(project, footage, &next), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemName(kPlugin, footage, &name), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, footage, &options), A_Err_STRUCT);
    EXPECT_EQ(std::tuple(next, name, options), std::tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(LiveMemHandles(), 0u);
    EXPECT_EQ(LiveRenderOptions(), 0u);

    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(demoItem(), &view), A_Err_NONE);
    CurrentProject().closeViewer(comp->id());
    A_Boolean previewing = 3;
    A_Time t{-1, 1};
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t), A_Err_STRUCT);
    EXPECT_EQ(previewing, 3);

    AEGP_ItemH item = demoItem();
    SetCurrentProject(MakeDemoProject());  // the same content, new objects
    AEGP_ItemH first = nullptr;
    AEGP_ItemType type;
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &first), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(item, &type), A_Err_STRUCT);
    EXPECT_NE(demoItem(), item);
}

TEST_F(StaleHandles, FreedMemoryDisposedStreamOptionsAndWorld) {
    const auto* mem = MemorySuite();
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "test", 16, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    ASSERT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
    void* p = reinterpret_cast<void*>(0x1);
    AEGP_MemSize size = 77;
    EXPECT_EQ(mem->AEGP_LockMemHandle(h, &p), A_Err_STRUCT);
    EXPECT_EQ(p, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(mem->AEGP_GetMemHandleSize(h, &size), A_Err_STRUCT);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_STRUCT);  // double free is caught

    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layerAt(0), AEGP_LayerStream_OPACITY, &stream), A_Err_NONE);
    ASSERT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_NONE);
    A_long n;
    EXPECT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(stream, &n), A_Err_STRUCT);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_STRUCT);

    AEGP_RenderOptionsH options = nullptr;
    ASSERT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, demoItem(), &options), A_Err_NONE);
    ASSERT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_NONE);
    A_Time t;
    EXPECT_EQ(RenderOptionsSuite()->AEGP_GetTime(options, &t), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_STRUCT);

    AEGP_WorldH world = NewWorld(AEGP_WorldType_8, 4, 4);
    ASSERT_TRUE(DisposeWorld(world));
    A_long w, hh;
    EXPECT_EQ(WorldSuite()->AEGP_GetSize(world, &w, &hh), A_Err_STRUCT);
    EXPECT_FALSE(DisposeWorld(world));
}

// A handle of one kind passed as another is not mistaken for it.
TEST_F(StaleHandles, WrongKindsAndForgedHandles) {
    AEGP_ItemH item = demoItem();
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = layerAt(0);
    AEGP_ObjectType type;
    A_long n;
    AEGP_ItemType itype;
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerObjectType(reinterpret_cast<AEGP_LayerH>(item), &type), A_Err_STRUCT);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompNumLayers(reinterpret_cast<AEGP_CompH>(item), &n), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(c), &itype), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(layer), &itype), A_Err_STRUCT);
    int local = 0;
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(reinterpret_cast<AEGP_ItemH>(&local), &itype), A_Err_STRUCT);
    EXPECT_EQ(MemorySuite()->AEGP_FreeMemHandle(reinterpret_cast<AEGP_MemHandle>(&local)), A_Err_STRUCT);
    // Handles are tokens, not addresses of host objects.
    EXPECT_NE(reinterpret_cast<void*>(item), static_cast<void*>(comp));
    EXPECT_NE(reinterpret_cast<void*>(layer), static_cast<void*>(comp->layerAt(0)));
}

TEST_F(StaleHandles, NullHandlesOutPointersAndBadIndicesAreParameterErrors) {
    AEGP_ItemH item = demoItem();
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = layerAt(0);
    AEGP_ItemType itype;
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(nullptr, &itype), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(item, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(nullptr, &item), A_Err_PARAMETER);
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerFlags(layer, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStreamValue(nullptr), A_Err_PARAMETER);
    const A_UTF16Char name[] = {'X', 0};
    const size_t layers = comp->numLayers();
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(nullptr, A_FloatPoint{0, 0}, c, &layer), A_Err_PARAMETER);
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(name, A_FloatPoint{0, 0}, c, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(comp->numLayers(), layers) << "a failed call adds nothing";
    EXPECT_EQ(MemorySuite()->AEGP_FreeMemHandle(nullptr), A_Err_PARAMETER);

    const A_long n = static_cast<A_long>(comp->numLayers());
    layer = nullptr;
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, n, &layer), A_Err_PARAMETER);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, -1, &layer), A_Err_PARAMETER);
    EXPECT_EQ(layer, nullptr);
    AEGP_ProjectH project = nullptr;
    EXPECT_EQ(ProjSuite()->AEGP_GetProjectByIndex(1, &project), A_Err_PARAMETER);
    ASSERT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, n - 1, &layer), A_Err_NONE);
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_OPACITY, &stream), A_Err_NONE);
    A_Time t;
    AEGP_StreamValue2 v{};
    EXPECT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(stream, 0, AEGP_LTimeMode_CompTime, &t), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(stream, 0), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeValue(stream, 0, &v), A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_NONE);
    EXPECT_EQ(LiveMemHandles(), 0u);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

}  // namespace
}  // namespace qlo::hostsim::testing
