// Lens settings through POST /camera: which phone they belong to, the first request, the change
// threshold and values the user edited in the host.
#include <span>

#include "recording_http.h"
#include "rig/camera_settings.h"

namespace {
ClientInfo Client(const char* name, bool allowed) {
    ClientInfo c;
    std::snprintf(c.name, sizeof c.name, "%s", name);
    c.allowed = allowed;
    return c;
}
}  // namespace

TEST(CameraSettingsKey, DeviceNameThenAllowedPhoneThenAnyPhoneThenQuillo) {
    CameraSettings s;
    const std::vector<ClientInfo> clients{Client("", true), Client("Blocked", false), Client("Open", true)};
    EXPECT_EQ(CameraSettingsKey(s, clients), "Open");
    EXPECT_EQ(CameraSettingsKey(s, {Client("", true), Client("Blocked", false)}), "Blocked");
    EXPECT_EQ(CameraSettingsKey(s, {}), "Quillo");
    std::snprintf(s.deviceName, sizeof s.deviceName, "Elsewhere");
    EXPECT_EQ(CameraSettingsKey(s, clients), "Elsewhere");
}

TEST_F(RigTest, LensValuesAreShownOnFirstRequestAndThenOnlyWhenTheyChange) {
    connect("127.0.0.2", "?deviceName=A", "A", 1);
    const auto value = [&](AEGP_LayerStream s) { return stream("A", s).staticValue().v[0]; };
    post("/camera", R"({"zoom":1000,"focusDistance":900,"aperture":20,"blurLevel":80,"dof":true})");
    const auto lens = std::span(kRigStreams).subspan(2);  // zoom, focus, aperture, blur, depth of field
    const double shown[] = {1000, 900, 20, 80, 1};
    for (size_t i = 0; i < lens.size(); ++i) EXPECT_EQ(value(lens[i]), shown[i]) << lens[i];

    // The user edits zoom and focus in the host; changes below the threshold do not undo that.
    layer("A")->stream(AEGP_LayerStream_ZOOM)->setStaticValue(qh::Value::One(123));
    layer("A")->stream(AEGP_LayerStream_FOCUS_DISTANCE)->setStaticValue(qh::Value::One(77));
    post("/camera", R"({"zoom":1000.00005})");
    EXPECT_EQ(value(AEGP_LayerStream_ZOOM), 123);
    post("/camera", R"({"zoom":1000.001})");
    EXPECT_NEAR(value(AEGP_LayerStream_ZOOM), 1000.001, 1e-3);
    EXPECT_EQ(value(AEGP_LayerStream_FOCUS_DISTANCE), 77);
}

// Which phone the settings belong to is CameraSettingsKey's (above); a named camera is made for them.
TEST_F(RigTest, LensSettingsForANamedCameraMakeItAndKeepTheValuesSentBefore) {
    connect("127.0.0.2", "?deviceName=First", "First", 1);
    post("/camera", R"({"zoom":1500})");
    post("/camera", R"({"aperture":3,"deviceName":"Elsewhere"})");
    ASSERT_EQ(cameras("Elsewhere"), 1);
    EXPECT_EQ(stream("Elsewhere", AEGP_LayerStream_APERTURE).staticValue().v[0], 3);
    EXPECT_EQ(stream("Elsewhere", AEGP_LayerStream_ZOOM).staticValue().v[0], 1500);  // carried over
}

TEST_F(RigTest, ChoosingTheCameraThePhoneAlreadyDrivesKeepsItsLiveValues) {
    qh::Stream* zoom = layer("Camera 1")->stream(AEGP_LayerStream_ZOOM);
    zoom->setKeyframe(0, qh::Value::One(1000));
    zoom->setKeyframe(5, qh::Value::One(1200));
    comp->currentTime = 2.0;
    connect("127.0.0.2", "?deviceName=A&cameraName=Camera%201", "A", 1);
    post("/camera", R"({"zoom":1500,"deviceName":"A"})");
    ASSERT_EQ(zoom->valueAt(2.0), qh::Value::One(1500));
    // Registering again names the same camera: the live value stays.
    post("/register", R"({"deviceName":"A","cameraName":"Camera 1"})");
    pass();
    EXPECT_EQ(zoom->valueAt(2.0), qh::Value::One(1500));
    EXPECT_EQ(zoom->numKeyframes(), 3);
}
