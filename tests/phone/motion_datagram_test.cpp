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
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.end()), expected);
}

TEST(MotionDatagram, ResetIsTypeTwoWithZerosWhateverTheSample) {
    const MotionDatagram d = EncodeMotionDatagram(DatagramType::Reset, MotionSample{9, 9, 9, 9, 9, 9});
    MotionDatagram expected{};
    expected[0] = 0x02;
    EXPECT_EQ(d, expected);
}

TEST(MotionPath, StartsAtRestAndRepeatsWithoutDrift) {
    for (double t : {0.0, 1000 * kOrbitPeriodSeconds}) {
        const MotionSample s = SampleOrbit(t);
        EXPECT_NEAR(s.posX, 0.0f, 0.01f) << t;
        EXPECT_NEAR(s.posY, 0.0f, 0.01f) << t;
        EXPECT_NEAR(s.posZ, 0.0f, 0.01f) << t;
        EXPECT_NEAR(s.orientY, 0.0f, 0.01f) << t;
    }
}

}  // namespace
}  // namespace qlophone
