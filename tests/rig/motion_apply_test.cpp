// Motion application from phones' datagrams: the camera's base position and its reset, and phones
// sharing a name.
#include "engine/plugin_fixture.h"

TEST_F(PluginTest, MotionMovesThePhonesCameraFromItsBasePosition) {
    Phone& phone = connect("127.0.0.2", "?deviceName=A", "A", 1);
    const auto moved = [&](std::array<float, 6> v, double x, MotionDatagramType type = MotionDatagramType::Sample) {
        moveAndWait(phone, v, type);
        pass();
        const float z = -static_cast<float>(qh::DefaultCameraZoom(1920));  // where the host puts a new camera
        EXPECT_EQ(layer("A")->get(AEGP_LayerStream_POSITION), qh::Value::Three(x, 540, z));
        EXPECT_EQ(layer("A")->get(AEGP_LayerStream_ORIENTATION), qh::Value::Three(0, v[1], 0));
    };
    moved({0, 10, 0, 10, 0, 0}, 970);
    moved({}, 970, MotionDatagramType::Reset);  // the camera stays; where it stands is the new origin
    moved({0, 0, 0, 5, 0, 0}, 975);
    // A sample is shown once: while the phone is still, the user's own turn of its camera stays,
    // also when another phone moves.
    layer("A")->set(AEGP_LayerStream_ORIENTATION, qh::Value::Three(0, 45, 0));
    moveAndWait(connect("127.0.0.3", "?deviceName=B", "B", 2), {0, 1, 0, 0, 0, 0});
    pass(2);
    EXPECT_EQ(layer("A")->get(AEGP_LayerStream_ORIENTATION), qh::Value::Three(0, 45, 0));
}

TEST_F(PluginTest, TwoPhonesOfOneNameDriveOneCameraAndTheLaterOneWins) {
    Phone& a = connect("127.0.0.2", "?deviceName=Twin", "Twin", 1);
    Phone& b = connect("127.0.0.3", "?deviceName=Twin", "Twin", 2);
    moveAndWait(a, {0, 1, 0, 0, 0, 0});
    turn(b, 2);
    EXPECT_EQ(cameras("Twin"), 1);
    EXPECT_EQ(layer("Twin")->get(AEGP_LayerStream_ORIENTATION), qh::Value::Three(0, 2, 0));
    // The registry's dump, due at most every two seconds of wall time with new motion, counts both
    // phones. The last dump may be an earlier test's, so motion keeps coming until it is due.
    const std::string dump = "[Quillo Diag] snapshotClients count=2";
    EXPECT_TRUE(WaitFor([&] { return b.move({0, 2, 0, 0, 0, 0}), pass(), log.contains(dump); }));
}

// The idle tick applies only the last camera choice posted; a phone whose choice that was not
// still moves the camera it asked for.
TEST_F(PluginTest, APhoneMovesTheCameraItChoseThoughAnotherOfItsNameChoseLast) {
    Phone& x = connect("127.0.0.2", "?deviceName=Twin&cameraName=X", "Twin", 1);
    pass();  // takes X's choice
    connect("127.0.0.3", "?deviceName=Twin&cameraName=Y", "Twin", 2);
    turn(x, 7);  // the pass takes Y's choice, then applies X's motion
    ASSERT_NE(layer("X"), nullptr);
    EXPECT_EQ(layer("X")->get(AEGP_LayerStream_ORIENTATION), qh::Value::Three(0, 7, 0));
    EXPECT_EQ(layer("Y"), nullptr);
}
