// Motion: the 25-byte datagram byte for byte; paths from CSV files (accepted forms, refused
// lines with their line number, interpolation).
#include "phone/motion_datagram.h"
#include "phone/path_csv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace qlophone {
namespace {

TEST(MotionDatagram, ASampleIsTypeOneThenSixLittleEndianFloatsAResetTypeTwoWithZeros) {
    // 1.0f = 3F800000, -2.5f = C0200000, 0.5f = 3F000000, 100.0f = 42C80000, -0.0f = 80000000,
    // 12345.678f = 4640E6B6.
    const MotionDatagram d =
        EncodeMotionDatagram(DatagramType::Sample, {1.0f, -2.5f, 0.5f, 100.0f, -0.0f, 12345.678f});
    const std::vector<uint8_t> expected = {0x01, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20, 0xC0,
                                           0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0xC8, 0x42, 0x00,
                                           0x00, 0x00, 0x80, 0xB6, 0xE6, 0x40, 0x46};
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.end()), expected);
    MotionDatagram reset{};
    reset[0] = 0x02;
    EXPECT_EQ(EncodeMotionDatagram(DatagramType::Reset, MotionSample{9, 9, 9, 9, 9, 9}), reset);
}

TEST(PathCsv, ReadsHeaderCommentsAndCrLfAndInterpolates) {
    std::string error;
    auto samples = ParsePathCsv("# recorded\r\nt, pitch, yaw, roll, x, y, z\r\n\r\n0,0,0,0,0,0,0\r\n2,10,-20,4,100,0,-8\n", error);
    ASSERT_TRUE(samples) << error;
    ASSERT_EQ(samples->size(), 2u);
    const MotionPath path = MotionPath::Samples(std::make_shared<const std::vector<TimedSample>>(*samples));
    const MotionSample mid = path.at(1.0);
    EXPECT_FLOAT_EQ(mid.orientX, 5.0f);
    EXPECT_FLOAT_EQ(mid.orientY, -10.0f);
    EXPECT_FLOAT_EQ(mid.posX, 50.0f);
    EXPECT_FLOAT_EQ(path.at(9.0).posZ, -8.0f);  // the last sample is held
}

TEST(PathCsv, RefusesBadLinesNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"0,1,2,3,4,5\n", "line 1: expected 7"},
        {"t,pitch,yaw\n0,0,0,0,0,0,0\n", "line 1: the header"},
        {"# c\n0,0,0,0,0,0,0\n1,0,x,0,0,0,0\n", "line 3: yaw \"x\""},
        {"0,0,0,0,0,0,0\n0,1,1,1,1,1,1\n", "line 2: t 0 is not later"},
        {"# nothing\n\n", "no samples"},
    };
    for (const auto& [text, expected] : bad) {
        std::string error;
        EXPECT_FALSE(ParsePathCsv(text, error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
    }
    const std::string file = ::testing::TempDir() + "/bad_path.csv";
    std::ofstream(file) << "0,0,0,0,0,0,0\n1,2,3\n";
    std::string error;
    EXPECT_FALSE(LoadPathCsv(file, error));
    EXPECT_EQ(error.rfind(file + ":2: expected 7", 0), 0u) << error;
    EXPECT_FALSE(LoadPathCsv(file + ".missing", error));
    std::remove(file.c_str());
}


}  // namespace
}  // namespace qlophone
