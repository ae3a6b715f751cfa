// Item, Item View, Comp, Proj and Layer suites over the demo project: items walked in order,
// their properties and playback as the item view reports it; layer names in UTF-16, layers by
// index, flags, camera creation.
#include <cmath>
#include <numbers>

#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class ItemSuites : public SuitesTest {};

TEST_F(ItemSuites, OneProjectWhoseItemsWalkInOrder) {
    A_long n = 0;
    ASSERT_EQ(std::pair(ProjSuite()->AEGP_GetNumProjects(&n), n), std::pair(A_Err(A_Err_NONE), 1));
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    std::vector<std::u16string> names;
    std::vector<AEGP_ItemType> types;
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &item), A_Err_NONE);
    while (item) {
        AEGP_ItemType type;
        ASSERT_EQ(ItemSuite()->AEGP_GetItemType(item, &type), A_Err_NONE);
        types.push_back(type);
        AEGP_MemHandle name = nullptr;
        ASSERT_EQ(ItemSuite()->AEGP_GetItemName(kPlugin, item, &name), A_Err_NONE);
        names.push_back(TakeUtf16(name));
        ASSERT_EQ(ItemSuite()->AEGP_GetNextProjItem(project, item, &item), A_Err_NONE);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Solids", u"Demo", u"Quillo Logo.png"}));
    EXPECT_EQ(types, (std::vector<AEGP_ItemType>{AEGP_ItemType_FOLDER, AEGP_ItemType_COMP, AEGP_ItemType_FOOTAGE}));

    SetCurrentProject(nullptr);  // an empty project
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    item = reinterpret_cast<AEGP_ItemH>(0x1);
    ASSERT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &item), A_Err_NONE);
    EXPECT_EQ(item, nullptr);
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    EXPECT_EQ(item, nullptr);
}

// Dimensions of compositions and footage, a composition's duration and frame rate, and the way
// between a composition and its item, playback; folders and footage have no composition, closed
// compositions no view.
TEST_F(ItemSuites, PropertiesOfEachKindOfItem) {
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    AEGP_ItemH folder = ItemHandle(*CurrentProject().findItemByName("Solids"));
    A_long w = 0, h = 0, fw = 0, fh = 0;
    A_Time d{};
    AEGP_CompH c = nullptr;
    A_FpLong fps = 0;
    AEGP_ItemH back = nullptr;
    // In this order (&& sequences the calls): the composition's handle is used by the last two.
    ASSERT_TRUE(ItemSuite()->AEGP_GetItemDimensions(item, &w, &h) == A_Err_NONE &&
                ItemSuite()->AEGP_GetItemDimensions(footage, &fw, &fh) == A_Err_NONE &&
                ItemSuite()->AEGP_GetItemDuration(item, &d) == A_Err_NONE &&
                CompSuite()->AEGP_GetCompFromItem(item, &c) == A_Err_NONE &&
                CompSuite()->AEGP_GetCompFramerate(c, &fps) == A_Err_NONE &&
                CompSuite()->AEGP_GetItemFromComp(c, &back) == A_Err_NONE);
    EXPECT_EQ(std::tuple(w, h, fw, Seconds(d), fps, back), std::tuple(1920, 1080, 512, 10.0, 30.0, item));
    EXPECT_EQ(ItemSuite()->AEGP_GetItemDimensions(folder, &w, &h), A_Err_PARAMETER);
    c = nullptr;
    EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(footage, &c), A_Err_PARAMETER) << "not a composition";
    EXPECT_EQ(c, nullptr);

    // Playback as the view reports it; the item's current time stays until playback stops.
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    A_Boolean previewing = 7;
    A_Time viewTime{}, itemTime{};
    comp->currentTime = 1.0;
    ASSERT_TRUE(CurrentProject().togglePlayback(50.0));
    CurrentProject().advance(52.0);
    ASSERT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &viewTime), A_Err_NONE);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(item, &itemTime), A_Err_NONE);
    EXPECT_EQ(std::tuple(Seconds(viewTime), previewing, Seconds(itemTime)),
              std::tuple(3.0, A_Boolean{1}, 1.0));

    CurrentProject().closeViewer(comp->id());
    view = reinterpret_cast<AEGP_ItemViewP>(0x1);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    EXPECT_EQ(view, nullptr);
}

class LayerSuites : public SuitesTest {};

TEST_F(LayerSuites, NamesAreZeroTerminatedUtf16) {
    // Latin-1, CJK, and a character outside the basic plane (a surrogate pair).
    Layer& layer = comp->addNull("Caméra \xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x8E\xA5");
    layer.sourceName = "Quelle \xC3\xBC";
    AEGP_MemHandle name = nullptr, source = nullptr;
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, LayerHandle(layer), &name, &source), A_Err_NONE);
    EXPECT_EQ(TakeUtf16(name), u"Caméra 名前 \U0001F3A5");
    EXPECT_EQ(TakeUtf16(source), u"Quelle \u00FC");
}

TEST_F(LayerSuites, LayersByIndexTopFirst) {
    A_long n = 0;
    ASSERT_EQ(LayerSuite()->AEGP_GetCompNumLayers(CompHandle(*comp), &n), A_Err_NONE);
    ASSERT_EQ(static_cast<size_t>(n), comp->numLayers());
    for (A_long i = 0; i < n; ++i) {
        AEGP_LayerH h = nullptr;
        ASSERT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(CompHandle(*comp), i, &h), A_Err_NONE);
        EXPECT_EQ(LayerFromHandle(h), comp->layerAt(static_cast<size_t>(i)));
    }
}

TEST_F(LayerSuites, SetLayerFlagTakesExactlyOneSettableFlag) {
    Layer& solid = *layerNamed("Red Plane");
    AEGP_LayerH h = LayerHandle(solid);
    AEGP_LayerFlags flags = 0;
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerFlags(h, &flags), A_Err_NONE);
    EXPECT_EQ(flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D);
    EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(h, AEGP_LayerFlag_LAYER_IS_3D, 0), A_Err_NONE);
    // Not exactly one flag, a read-only flag, a flag the layer cannot have:
    const AEGP_LayerFlags kBad[] = {AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D,
                                    AEGP_LayerFlag_NONE, AEGP_LayerFlag_NULL_LAYER, AEGP_LayerFlag_LOOK_AT_POI};
    for (AEGP_LayerFlags bad : kBad) EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(h, bad, 1), A_Err_PARAMETER);
    EXPECT_EQ(solid.flags, AEGP_LayerFlag_VIDEO_ACTIVE);
    AEGP_LayerH camera = LayerHandle(*comp->layerAt(0));
    EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(camera, AEGP_LayerFlag_LOOK_AT_POI, 0), A_Err_NONE);
    EXPECT_FALSE(comp->layerAt(0)->hasFlag(AEGP_LayerFlag_LOOK_AT_POI));
}

TEST_F(LayerSuites, CreateCameraPutsItOnTopWithTheHostDefaults) {
    const std::u16string name = u"Kamera \u00DC";
    AEGP_LayerH camera = nullptr;
    ASSERT_EQ(CompSuite()->AEGP_CreateCameraInComp(reinterpret_cast<const A_UTF16Char*>(name.c_str()),
                                                   A_FloatPoint{960, 540}, CompHandle(*comp), &camera),
              A_Err_NONE);
    // Reading layers back through the suite is checked above; here the model shows what was made.
    const Layer& made = *LayerFromHandle(camera);
    EXPECT_EQ(comp->layerAt(0), &made);
    EXPECT_EQ(comp->layerAt(1)->name, "Camera 1") << "the old top moved down";
    EXPECT_EQ(std::tuple(made.name, made.type(), made.flags),
              std::tuple(std::string("Kamera \xC3\x9C"), LayerType::Camera,
                         AEGP_LayerFlag_LOOK_AT_POI | AEGP_LayerFlag_LAYER_IS_3D | AEGP_LayerFlag_VIDEO_ACTIVE));

    // A 50 mm-like zoom for the composition's width (39.6 degrees across).
    const double zoom = ValueOf(camera, AEGP_LayerStream_ZOOM).one_d;
    EXPECT_NEAR(zoom, 960.0 / std::tan(39.6 / 2 * std::numbers::pi / 180), 1e-9);
    const AEGP_ThreeDVal pos = ValueOf(camera, AEGP_LayerStream_POSITION).three_d;
    EXPECT_EQ(std::tuple(pos.x, pos.y, pos.z), std::tuple(960.0, 540.0, -zoom));
    const AEGP_ThreeDVal poi = ValueOf(camera, AEGP_LayerStream_ANCHORPOINT).three_d;
    EXPECT_EQ(std::tuple(poi.x, poi.y, poi.z), std::tuple(960.0, 540.0, 0.0));
    EXPECT_DOUBLE_EQ(ValueOf(camera, AEGP_LayerStream_FOCUS_DISTANCE).one_d, zoom);

    // In another composition: the zoom follows its width. An empty name gets a number.
    Composition& small = CurrentProject().addComposition("Small", 640, 360, 25, 2);
    const A_UTF16Char empty[] = {0};
    ASSERT_EQ(CompSuite()->AEGP_CreateCameraInComp(empty, A_FloatPoint{320, 180}, CompHandle(small), &camera),
              A_Err_NONE);
    EXPECT_NEAR(ValueOf(camera, AEGP_LayerStream_ZOOM).one_d, zoom / 3, 1e-9);
    EXPECT_EQ(LayerFromHandle(camera)->name, "Camera 1") << "numbered";
}

}  // namespace
}  // namespace qlo::hostsim::testing
