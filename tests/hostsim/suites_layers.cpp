// Layer Suite and Comp Suite: layer names in UTF-16, object types, flags, camera creation.
#include <cmath>
#include <numbers>

#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class LayerSuites : public SuitesTest {};

TEST_F(LayerSuites, NamesAreZeroTerminatedUtf16AndEitherHandleMayBeNull) {
    // Latin-1, CJK, and a character outside the basic plane (a surrogate pair).
    const std::string utf8 = "Caméra \xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x8E\xA5";
    Layer& layer = comp->addNull(utf8);
    layer.sourceName = "Quelle \xC3\xBC";
    AEGP_MemHandle name = nullptr, source = nullptr;
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, LayerHandle(layer), &name, &source), A_Err_NONE);
    const std::u16string u = TakeUtf16(name);
    EXPECT_EQ(u, u"Caméra 名前 \U0001F3A5");
    EXPECT_EQ(u.size(), 12u);  // the camera emoji takes two units
    EXPECT_EQ(Utf16ToUtf8(u), utf8);
    EXPECT_EQ(Utf16ToUtf8(TakeUtf16(source)), "Quelle \xC3\xBC");

    AEGP_LayerH camera = LayerHandle(*comp->layerAt(1));
    ASSERT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, camera, nullptr, &source), A_Err_NONE);
    EXPECT_EQ(TakeUtf16(source), u"") << "a camera has no source";
    EXPECT_EQ(LayerSuite()->AEGP_GetLayerName(kPlugin, camera, nullptr, nullptr), A_Err_NONE);
    comp->name = "D\xC3\xA9mo";
    ASSERT_EQ(ItemSuite()->AEGP_GetItemName(kPlugin, ItemHandle(*comp), &name), A_Err_NONE);
    EXPECT_EQ(TakeUtf16(name), u"Démo");
}

TEST_F(LayerSuites, LayersByIndexTopFirstWithTypes) {
    AEGP_CompH c = CompHandle(*comp);
    A_long n = 0;
    ASSERT_EQ(LayerSuite()->AEGP_GetCompNumLayers(c, &n), A_Err_NONE);
    ASSERT_EQ(static_cast<size_t>(n), comp->numLayers());
    for (A_long i = 0; i < n; ++i) {
        AEGP_LayerH h = nullptr;
        ASSERT_EQ(LayerSuite()->AEGP_GetCompLayerByIndex(c, i, &h), A_Err_NONE);
        EXPECT_EQ(LayerFromHandle(h), comp->layerAt(static_cast<size_t>(i)));
        AEGP_ObjectType type;
        ASSERT_EQ(LayerSuite()->AEGP_GetLayerObjectType(h, &type), A_Err_NONE);
        EXPECT_EQ(type, comp->layerAt(static_cast<size_t>(i))->objectType());
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
    for (AEGP_LayerFlags bad : std::initializer_list<AEGP_LayerFlags>{AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D,
                                AEGP_LayerFlag_NONE, AEGP_LayerFlag_NULL_LAYER, AEGP_LayerFlag_LOOK_AT_POI})
        EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(h, bad, 1), A_Err_PARAMETER) << bad;
    EXPECT_EQ(solid.flags, AEGP_LayerFlag_VIDEO_ACTIVE);
    AEGP_LayerH camera = LayerHandle(*comp->layerAt(0));
    EXPECT_EQ(LayerSuite()->AEGP_SetLayerFlag(camera, AEGP_LayerFlag_LAYER_IS_3D, 0), A_Err_PARAMETER);
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
    EXPECT_EQ(std::pair(made.name, made.type()), std::pair(std::string("Kamera \xC3\x9C"), LayerType::Camera));
    EXPECT_EQ(made.flags, AEGP_LayerFlag_LOOK_AT_POI | AEGP_LayerFlag_LAYER_IS_3D | AEGP_LayerFlag_VIDEO_ACTIVE);

    // A 50 mm-like zoom for the composition's width (39.6 degrees across).
    const double zoom = ValueOf(camera, AEGP_LayerStream_ZOOM).one_d;
    EXPECT_NEAR(zoom, 960.0 / std::tan(39.6 / 2 * std::numbers::pi / 180), 1e-9);
    const AEGP_ThreeDVal pos = ValueOf(camera, AEGP_LayerStream_POSITION).three_d;
    EXPECT_EQ(std::tuple(pos.x, pos.y, pos.z), std::tuple(960.0, 540.0, -zoom));
    const AEGP_ThreeDVal poi = ValueOf(camera, AEGP_LayerStream_ANCHORPOINT).three_d;
    EXPECT_EQ(std::tuple(poi.x, poi.y, poi.z), std::tuple(960.0, 540.0, 0.0));
    EXPECT_DOUBLE_EQ(ValueOf(camera, AEGP_LayerStream_FOCUS_DISTANCE).one_d, zoom);

    // In another composition: the zoom follows its width; an empty name gets a number.
    Composition& small = CurrentProject().addComposition("Small", 640, 360, 25, 2);
    const A_UTF16Char empty[] = {0};
    ASSERT_EQ(CompSuite()->AEGP_CreateCameraInComp(empty, A_FloatPoint{320, 180}, CompHandle(small), &camera),
              A_Err_NONE);
    EXPECT_NEAR(ValueOf(camera, AEGP_LayerStream_ZOOM).one_d, zoom / 3, 1e-9);
    EXPECT_EQ(LayerFromHandle(camera)->name, "Camera 1");
    ASSERT_EQ(CompSuite()->AEGP_CreateCameraInComp(empty, A_FloatPoint{0, 0}, CompHandle(*comp), &camera), A_Err_NONE);
    EXPECT_EQ(LayerFromHandle(camera)->name, "Camera 3") << "numbered after the cameras already there";
}

}  // namespace
}  // namespace qlo::hostsim::testing
