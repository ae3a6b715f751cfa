// Handles of deleted, disposed or freed things go stale: every call fails with A_Err_STRUCT
// and changes nothing. Also: null handles and out-pointers, wrong kinds, bad indices.
#include <cstring>

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

// Every Layer Suite, Stream Suite and Keyframe Suite call on a deleted layer and its streams.
TEST_F(StaleHandles, DeletedLayerAndItsStreams) {
    AEGP_LayerH layer = layerAt(0);
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, &stream), A_Err_NONE);
    const size_t layersBefore = comp->numLayers();
    ASSERT_TRUE(CurrentProject().deleteLayer(LayerFromHandle(layer)->id()));
    ASSERT_EQ(comp->numLayers(), layersBefore - 1);

    const auto* ls = LayerSuite();
    AEGP_MemHandle name = nullptr, source = nullptr;
    AEGP_ObjectType type = 12345;
    AEGP_LayerFlags flags = 12345;
    EXPECT_EQ(ls->AEGP_GetLayerName(kPlugin, layer, &name, &source), A_Err_STRUCT);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(source, nullptr);
    EXPECT_EQ(ls->AEGP_GetLayerObjectType(layer, &type), A_Err_STRUCT);
    EXPECT_EQ(type, 12345);
    EXPECT_EQ(ls->AEGP_GetLayerFlags(layer, &flags), A_Err_STRUCT);
    EXPECT_EQ(flags, 12345);
    EXPECT_EQ(ls->AEGP_SetLayerFlag(layer, AEGP_LayerFlag_VIDEO_ACTIVE, 0), A_Err_STRUCT);

    const auto* ss = StreamSuite();
    AEGP_StreamRefH another = nullptr;
    EXPECT_EQ(ss->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, &another), A_Err_STRUCT);
    EXPECT_EQ(another, nullptr);
    AEGP_StreamType stype = 99;
    EXPECT_EQ(ss->AEGP_GetStreamType(stream, &stype), A_Err_STRUCT);
    EXPECT_EQ(stype, 99);
    const A_Time t = Sec(1);
    AEGP_StreamValue2 value{};
    EXPECT_EQ(ss->AEGP_GetNewStreamValue(kPlugin, stream, AEGP_LTimeMode_CompTime, &t, 0, &value), A_Err_STRUCT);
    EXPECT_EQ(value.streamH, nullptr);
    EXPECT_EQ(ss->AEGP_SetStreamValue(kPlugin, stream, &value), A_Err_STRUCT);

    const auto* ks = KeyframeSuite();
    A_long n = -7;
    AEGP_KeyframeIndex index = -7;
    A_Time kt{-7, 1};
    EXPECT_EQ(ks->AEGP_GetStreamNumKFs(stream, &n), A_Err_STRUCT);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(ks->AEGP_InsertKeyframe(stream, AEGP_LTimeMode_CompTime, &t, &index), A_Err_STRUCT);
    EXPECT_EQ(index, -7);
    EXPECT_EQ(ks->AEGP_GetKeyframeTime(stream, 0, AEGP_LTimeMode_CompTime, &kt), A_Err_STRUCT);
    EXPECT_EQ(kt.value, -7);
    EXPECT_EQ(ks->AEGP_DeleteKeyframe(stream, 0), A_Err_STRUCT);
    EXPECT_EQ(ks->AEGP_GetNewKeyframeValue(kPlugin, stream, 0, &value), A_Err_STRUCT);
    EXPECT_EQ(ks->AEGP_SetKeyframeValue(stream, 0, &value), A_Err_STRUCT);
    EXPECT_EQ(ks->AEGP_SetKeyframeInterpolation(stream, 0, AEGP_KeyInterp_HOLD, AEGP_KeyInterp_HOLD), A_Err_STRUCT);

    // Disposing the stale reference reports it, and releases the host's record all the same.
    EXPECT_EQ(LiveStreamRefs(), 1u);
    EXPECT_EQ(ss->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);
    EXPECT_EQ(ss->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveMemHandles(), 0u);  // nothing was allocated on the way
    EXPECT_EQ(comp->numLayers(), layersBefore - 1);
}

TEST_F(StaleHandles, OtherLayersStayValid) {
    AEGP_LayerH top = layerAt(0);
    AEGP_LayerH second = layerAt(1);
    const std::string secondName = LayerFromHandle(second)->name;
    CurrentProject().deleteLayer(LayerFromHandle(top)->id());
    AEGP_MemHandle name = nullptr;
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, second, &name, nullptr), A_Err_NONE);
    EXPECT_EQ(Utf16ToUtf8(TakeUtf16(name)), secondName);
    EXPECT_EQ(layerAt(0), second) << "the same layer keeps the same handle";
}

TEST_F(StaleHandles, DeletedComposition) {
    AEGP_ItemH item = demoItem();
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = layerAt(0);
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    ASSERT_NE(view, nullptr);
    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_ZOOM, &stream), A_Err_NONE);
    AEGP_RenderOptionsH options = nullptr;
    ASSERT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, item, &options), A_Err_NONE);
    const size_t items = CurrentProject().numItems();

    ASSERT_TRUE(CurrentProject().deleteItem(comp->id()));
    comp = nullptr;

    A_long n = -1;
    AEGP_LayerH l = nullptr;
    AEGP_ItemH back = nullptr;
    A_FpLong fps = -1;
    AEGP_LayerH cam = nullptr;
    const A_UTF16Char camName[] = {'C', 0};
    EXPECT_EQ(LayerSuite()->AEGP_GetCompNumLayers(c, &n), A_Err_STRUCT);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, 0, &l), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_GetItemFromComp(c, &back), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_GetCompFramerate(c, &fps), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(camName, A_FloatPoint{0, 0}, c, &cam), A_Err_STRUCT);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(l, nullptr);
    EXPECT_EQ(back, nullptr);
    EXPECT_EQ(fps, -1);
    EXPECT_EQ(cam, nullptr);
    EXPECT_EQ(CurrentProject().numItems(), items - 1);

    // Its layers and their streams, its view and render options went with it.
    AEGP_ObjectType type;
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerObjectType(layer, &type), A_Err_STRUCT);
    A_long kfs;
    EXPECT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(stream, &kfs), A_Err_STRUCT);
    A_Boolean previewing;
    A_Time t;
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_GetTime(options, &t), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_SetTime(options, Sec(1)), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_Dispose(options), A_Err_STRUCT);
    EXPECT_EQ(LiveRenderOptions(), 0u);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_STRUCT);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

// Every Item Suite call on a deleted item.
TEST_F(StaleHandles, DeletedItem) {
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    ASSERT_TRUE(CurrentProject().deleteItem(ItemFromHandle(footage)->id()));

    const auto* is = ItemSuite();
    AEGP_ItemH next = nullptr;
    AEGP_ItemType type = -5;
    AEGP_MemHandle name = nullptr;
    A_long w = -5, h = -5;
    A_Time t{-5, 1};
    AEGP_ItemViewP view = nullptr;
    AEGP_CompH c = nullptr;
    AEGP_RenderOptionsH options = nullptr;
    EXPECT_EQ(is->AEGP_GetNextProjItem(project, footage, &next), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemType(footage, &type), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemName(kPlugin, footage, &name), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemDimensions(footage, &w, &h), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemDuration(footage, &t), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemCurrentTime(footage, &t), A_Err_STRUCT);
    EXPECT_EQ(is->AEGP_GetItemMRUView(footage, &view), A_Err_STRUCT);
    EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(footage, &c), A_Err_STRUCT);
    EXPECT_EQ(RenderOptionsSuite()->AEGP_NewFromItem(kPlugin, footage, &options), A_Err_STRUCT);
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(type, -5);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(w, -5);
    EXPECT_EQ(t.value, -5);
    EXPECT_EQ(view, nullptr);
    EXPECT_EQ(options, nullptr);
    EXPECT_EQ(LiveMemHandles(), 0u);
    EXPECT_EQ(LiveRenderOptions(), 0u);
}

TEST_F(StaleHandles, ClosedViewAndReplacedProject) {
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(demoItem(), &view), A_Err_NONE);
    CurrentProject().closeViewer(comp->id());
    A_Boolean previewing = 3;
    A_Time t{-1, 1};
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &t), A_Err_STRUCT);
    EXPECT_EQ(previewing, 3);

    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    AEGP_ItemH item = demoItem();
    SetCurrentProject(MakeDemoProject());  // the same content, new objects
    AEGP_ItemH first = nullptr;
    AEGP_ItemType type;
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &first), A_Err_STRUCT);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(item, &type), A_Err_STRUCT);
    EXPECT_NE(demoItem(), item);
}

TEST_F(StaleHandles, FreedMemory) {
    const auto* mem = MemorySuite();
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "test", 16, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    ASSERT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
    void* p = reinterpret_cast<void*>(0x1);
    AEGP_MemSize size = 77;
    EXPECT_EQ(mem->AEGP_LockMemHandle(h, &p), A_Err_STRUCT);
    EXPECT_EQ(p, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_STRUCT);
    EXPECT_EQ(mem->AEGP_GetMemHandleSize(h, &size), A_Err_STRUCT);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_STRUCT);  // double free is caught
    EXPECT_EQ(MemHandleLockCount(h), -1);
}

TEST_F(StaleHandles, DisposedStreamAndCheckedInReceiptAndDisposedOptions) {
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
    A_long w, h;
    EXPECT_EQ(WorldSuite()->AEGP_GetSize(world, &w, &h), A_Err_STRUCT);
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

TEST_F(StaleHandles, NullHandlesAndOutPointersAreParameterErrors) {
    AEGP_ItemH item = demoItem();
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = layerAt(0);
    AEGP_ItemType itype;
    A_long w;
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(nullptr, &itype), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemType(item, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetActiveItem(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemDimensions(item, &w, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemName(kPlugin, item, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemSuite()->AEGP_GetFirstProjItem(nullptr, &item), A_Err_PARAMETER);
    EXPECT_EQ(ProjSuite()->AEGP_GetNumProjects(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompNumLayers(c, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerFlags(layer, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_POSITION, nullptr),
              A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStreamValue(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(nullptr, A_FloatPoint{0, 0}, c, &layer), A_Err_PARAMETER);
    const A_UTF16Char name[] = {'X', 0};
    const size_t layers = comp->numLayers();
    EXPECT_EQ(CompSuite()->AEGP_CreateCameraInComp(name, A_FloatPoint{0, 0}, c, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(comp->numLayers(), layers) << "a failed call adds nothing";
    EXPECT_EQ(MemorySuite()->AEGP_NewMemHandle(kPlugin, "x", 4, AEGP_MemFlag_NONE, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(MemorySuite()->AEGP_FreeMemHandle(nullptr), A_Err_PARAMETER);
    EXPECT_EQ(UtilitySuite()->AEGP_ExecuteScript(kPlugin, nullptr, 0, nullptr, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(LiveMemHandles(), 0u);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

TEST_F(StaleHandles, IndicesOutOfRange) {
    AEGP_CompH c = demoComp();
    AEGP_LayerH layer = nullptr;
    const A_long n = static_cast<A_long>(comp->numLayers());
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, n, &layer), A_Err_PARAMETER);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, -1, &layer), A_Err_PARAMETER);
    EXPECT_EQ(layer, nullptr);
    EXPECT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, n - 1, &layer), A_Err_NONE);
    AEGP_ProjectH project = nullptr;
    EXPECT_EQ(ProjSuite()->AEGP_GetProjectByIndex(1, &project), A_Err_PARAMETER);
    EXPECT_EQ(ProjSuite()->AEGP_GetProjectByIndex(-1, &project), A_Err_PARAMETER);

    AEGP_StreamRefH stream = nullptr;
    ASSERT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, layer, AEGP_LayerStream_OPACITY, &stream), A_Err_NONE);
    A_Time t;
    AEGP_StreamValue2 v{};
    EXPECT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(stream, 0, AEGP_LTimeMode_CompTime, &t), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_GetNewKeyframeValue(kPlugin, stream, 0, &v), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(stream, 0), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeValue(stream, 0, &v), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeInterpolation(stream, 0, AEGP_KeyInterp_LINEAR, AEGP_KeyInterp_LINEAR),
              A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(stream), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
