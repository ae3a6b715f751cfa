// Motion application from phones' datagrams: the camera's base position and its reset, phones
// sharing a name, and numbers in the logs whatever the process's locale.
#include <clocale>
#include <filesystem>

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
    EXPECT_EQ(log.count("[Quillo] Camera base position for \"A\": 970.0, 540.0"), 1u);
}

TEST_F(PluginTest, TwoPhonesOfOneNameDriveOneCameraAndTheLaterOneWins) {
    Phone& a = connect("127.0.0.2", "?deviceName=Twin", "Twin", 1);
    Phone& b = connect("127.0.0.3", "?deviceName=Twin", "Twin", 2);
    moveAndWait(a, {0, 1, 0, 0, 0, 0});
    turn(b, 2);
    EXPECT_EQ(cameras("Twin"), 1);
    EXPECT_EQ(layer("Twin")->get(AEGP_LayerStream_ORIENTATION), qh::Value::Three(0, 2, 0));
    // The registry's dump, due at most every two seconds of wall time with new motion, lists each
    // phone once. The last dump may be an earlier test's, so motion keeps coming until it is due.
    const std::string dump = "[Quillo Diag] snapshotClients count=2";
    ASSERT_TRUE(WaitFor([&] { return b.move({0, 2, 0, 0, 0, 0}), pass(), log.contains(dump); }));
    EXPECT_EQ(log.count("[Quillo Diag]   [1] fd="), log.count(dump));
    EXPECT_EQ(log.count("[Quillo Diag]   [2] "), 0u);
}

TEST_F(PluginTest, LoggedNumbersKeepTheirDecimalPointUnderACommaLocale) {
    const std::string dir = ::testing::TempDir() + "quillo-locale";
    std::filesystem::create_directories(dir);
    if (std::system(("localedef --no-archive -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1").c_str()) != 0 ||
        setenv("LOCPATH", dir.c_str(), 1) != 0 || !std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        GTEST_SKIP() << "no de_DE locale can be made here";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");  // the locale does reach printf-style formatting

    moveAndWait(connect("127.0.0.2", "?deviceName=A", "A", 1), {1.5f, -2.0f, 30.25f, 0, 0, 0});
    pass();
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_TRUE(log.contains("orient=(1.5,-2.0,30.2)"));
    EXPECT_TRUE(log.contains("[Quillo] Camera base position for \"A\": 960.0, 540.0, -"));
}
