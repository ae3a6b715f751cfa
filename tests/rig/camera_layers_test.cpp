// Phone camera layers: found by name, created when missing, found again after a composition
// switch, created again after the user deleted them, and names that survive as they were given.
#include "engine/plugin_fixture.h"
#include "rig/camera_layers.h"

TEST_F(PluginTest, CamerasAreFoundByNameOrCreatedAtTheCentreOnce) {
    comp->addCamera("Cam", A_FloatPoint{0, 0}, 3);
    const qh::Layer& upper = comp->addCamera("Cam", A_FloatPoint{0, 0}, 1);
    comp->addSolid("Solo", qh::Value::Rgba(1, 0, 0), 10, 10);
    EXPECT_EQ(FindCameraByName(compH(), "Cam"), qh::LayerHandle(upper));
    EXPECT_EQ(FindCameraByName(compH(), "Solo"), nullptr);
    const qh::Layer* made = qh::LayerFromHandle(EnsurePhoneCamera(compH(), itemH(), "Solo"));
    ASSERT_TRUE(made && made->type() == qh::LayerType::Camera);
    EXPECT_FALSE(made->hasFlag(AEGP_LayerFlag_LOOK_AT_POI));
    EXPECT_EQ(made->get(AEGP_LayerStream_ANCHORPOINT), qh::Value::Three(960, 540, 0));

    // A name is found again as it was created, also when it is not valid UTF-8.
    const std::string name = "bad\xff\xc0name\xe2\x82";
    EnsurePhoneCamera(compH(), itemH(), name);
    g_phoneCameras[name].layer = nullptr;  // forgotten: the next call looks it up by name
    EnsurePhoneCamera(compH(), itemH(), name);
    EXPECT_EQ(cameras(qh::Utf16ToUtf8(qh::Utf8ToUtf16(name))), 1);
}

TEST_F(PluginTest, CamerasAreResolvedAgainAfterACompositionSwitchOrADeletion) {
    g_phoneCameras["P"].targetCam = "Camera 1";
    const AEGP_LayerH camera1 = EnsurePhoneCamera(compH(), itemH(), "P");
    EXPECT_EQ(camera1, qh::LayerHandle(*layer("Camera 1")));
    g_lastCamMap["P"] = CameraSettings{};
    qh::Composition& other = qh::CurrentProject().addComposition("Other", 640, 360, 25, 5);
    const AEGP_LayerH inOther = EnsurePhoneCamera(qh::CompHandle(other), qh::ItemHandle(other), "P");
    EXPECT_EQ(qh::LayerFromHandle(inOther)->get(AEGP_LayerStream_ANCHORPOINT), qh::Value::Three(320, 180, 0));
    EXPECT_TRUE(g_lastCamMap.empty() && g_cameraListTick == 0);
    EXPECT_EQ(EnsurePhoneCamera(compH(), itemH(), "P"), camera1);  // back: found by name
    qh::CurrentProject().deleteLayer(layer("Camera 1")->id());
    const AEGP_LayerH again = EnsurePhoneCamera(compH(), itemH(), "P");
    EXPECT_EQ(again, qh::LayerHandle(*layer("Camera 1")));
    EXPECT_NE(again, camera1);
    EXPECT_EQ(cameras("Camera 1"), 1);
}
