#include "link/motion_datagram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// 1.0f, -2.5f, 90.0f, 0.25f, -1000.0f, 3.0f as little-endian IEEE 754, after the type byte.
std::vector<uint8_t> KnownSample(uint8_t type = 1) {
    return {type,
            0x00, 0x00, 0x80, 0x3F,   // 1.0
            0x00, 0x00, 0x20, 0xC0,   // -2.5
            0x00, 0x00, 0xB4, 0x42,   // 90.0
            0x00, 0x00, 0x80, 0x3E,   // 0.25
            0x00, 0x00, 0x7A, 0xC4,   // -1000.0
            0x00, 0x00, 0x40, 0x40};  // 3.0
}

const std::array<float, 6> kKnownValues = {1.0f, -2.5f, 90.0f, 0.25f, -1000.0f, 3.0f};

TEST(MotionDatagram, DecodesLittleEndianFloatsAtOddOffsets) {
    std::vector<uint8_t> bytes = KnownSample();
    auto d = DecodeMotionDatagram(bytes.data(), bytes.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->type, MotionDatagramType::Sample);
    EXPECT_EQ(d->values, kKnownValues);

    // The same bytes starting at an odd address of a larger buffer decode the same.
    std::vector<uint8_t> shifted(bytes.size() + 1, 0xEE);
    std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
    auto d2 = DecodeMotionDatagram(shifted.data() + 1, bytes.size());
    ASSERT_TRUE(d2.has_value());
    EXPECT_EQ(d2->values, kKnownValues);
}

TEST(MotionDatagram, EncodesTheBytesAPhoneSends) {
    auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, kKnownValues);
    std::vector<uint8_t> expected = KnownSample();
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(EncodeMotionDatagram(MotionDatagramType::Reset, {})[0], 2);
}

TEST(MotionDatagram, SizeRules) {
    std::vector<uint8_t> bytes = KnownSample();
    EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), 24).has_value());
    EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), 0).has_value());
    EXPECT_FALSE(DecodeMotionDatagram(nullptr, 25).has_value());
    EXPECT_TRUE(DecodeMotionDatagram(bytes.data(), 25).has_value());

    // Longer datagrams are read from their first 25 bytes; what follows does not matter.
    std::vector<uint8_t> longer = bytes;
    longer.resize(300, 0xFF);  // 0xFFFFFFFF would be a NaN if it were read as a value
    auto d = DecodeMotionDatagram(longer.data(), longer.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->values, kKnownValues);
}

TEST(MotionDatagram, TypeRules) {
    for (uint8_t type : {0, 3, 4, 0x81, 0xFF}) {
        std::vector<uint8_t> bytes = KnownSample(type);
        EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), bytes.size()).has_value())
            << "type " << int(type);
    }
    // A reset's floats are not used: it stands for six zeros, whatever it carries.
    std::vector<uint8_t> reset = KnownSample(2);
    auto d = DecodeMotionDatagram(reset.data(), reset.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->type, MotionDatagramType::Reset);
    EXPECT_EQ(d->values, (std::array<float, 6>{}));
}

TEST(MotionDatagram, SamplesWithNonFiniteValuesAreRejected) {
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float b : bad) {
        for (size_t slot = 0; slot < 6; ++slot) {
            std::array<float, 6> values = kKnownValues;
            values[slot] = b;
            auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, values);
            EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), bytes.size()).has_value())
                << "slot " << slot << " value " << b;
        }
    }
    // A reset carrying NaN is still a reset (its floats are never read).
    std::array<float, 6> nan;
    nan.fill(std::numeric_limits<float>::quiet_NaN());
    auto reset = EncodeMotionDatagram(MotionDatagramType::Reset, nan);
    EXPECT_TRUE(DecodeMotionDatagram(reset.data(), reset.size()).has_value());
}

}  // namespace
