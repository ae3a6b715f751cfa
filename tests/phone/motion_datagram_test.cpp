// The 25-byte motion datagram, byte for byte, and the built-in orbit it carries.
#include "phone/motion_datagram.h"
#include "phone/motion_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qlophone {
namespace {

TEST(MotionDatagram, SampleIsTypeOneThenSixLittleEndianFloats) {
    // 1.0f = 3F800000, -2.5f = C0200000, 0.5f = 3F000000, 100.0f = 42C80000, -0.0f = 80000000,
    // 12345.678f = 4640E6B6.
    const MotionSample s{1.0f, -2.5f, 0.5f, 100.0f, -0.0f, 12345.678f};
    const MotionDatagram d = EncodeMotionDatagram(DatagramType::Sample, s);
    const std::vector<uint8_t> expected = {
        0x01,                    // type
        0x00, 0x00, 0x80, 0x3F,  // orientX at 1
        0x00, 0x00, 0x20, 0xC0,  // orientY at 5
        0x00, 0x00, 0x00, 0x3F,  // orientZ at 9
        0x00, 0x00, 0xC8, 0x42,  // posX at 13
        0x00, 0x00, 0x00, 0x80,  // posY at 17
        0xB6, 0xE6, 0x40, 0x46,  // posZ at 21
    };
    ASSERT_EQ(d.size(), 25u);
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.end()), expected);
}

TEST(MotionDatagram, ResetIsTypeTwoWithZerosWhateverTheSample) {
    const MotionDatagram d = EncodeMotionDatagram(DatagramType::Reset, MotionSample{9, 9, 9, 9, 9, 9});
    ASSERT_EQ(d.size(), 25u);
    EXPECT_EQ(d[0], 0x02);
    for (size_t i = 1; i < d.size(); ++i) EXPECT_EQ(d[i], 0x00) << "byte " << i;
}

TEST(MotionPath, StartsAtRestAndSweepsHeadingWithinBounds) {
    const MotionSample start = SampleOrbit(0.0);
    EXPECT_FLOAT_EQ(start.posX, 0.0f);
    EXPECT_FLOAT_EQ(start.posY, 0.0f);
    EXPECT_FLOAT_EQ(start.posZ, 0.0f);
    EXPECT_FLOAT_EQ(start.orientY, 0.0f);
    float minY = 0, maxY = 0;
    for (int i = 0; i <= 800; ++i) {
        const MotionSample s = SampleOrbit(i * kOrbitPeriodSeconds / 800.0);
        ASSERT_TRUE(std::isfinite(s.orientX) && std::isfinite(s.orientY) && std::isfinite(s.posX) &&
                    std::isfinite(s.posY) && std::isfinite(s.posZ));
        minY = std::min(minY, s.orientY);
        maxY = std::max(maxY, s.orientY);
        EXPECT_LE(std::hypot(s.posX, s.posZ - 60.0f), 60.001f);  // on the circle around (0, 60)
    }
    EXPECT_NEAR(maxY, 40.0f, 0.01f);  // the heading swings both ways over one period
    EXPECT_NEAR(minY, -40.0f, 0.01f);
    const MotionSample later = SampleOrbit(1000 * kOrbitPeriodSeconds);  // periodic, no drift
    EXPECT_NEAR(later.posX, 0.0f, 0.01f);
    EXPECT_NEAR(later.posZ, 0.0f, 0.01f);
}

}  // namespace
}  // namespace qlophone
