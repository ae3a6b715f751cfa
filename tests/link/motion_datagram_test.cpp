#include "link/motion_datagram.h"
#include "tests/link/datagram_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

const std::array<float, 6> kKnownValues = {1.0f, -2.5f, 90.0f, 0.25f, -1000.0f, 3.0f};

// kKnownValues as little-endian IEEE 754 after the type byte.
std::vector<uint8_t> KnownSample(uint8_t type = 1) {
    return {type,
            0x00, 0x00, 0x80, 0x3F,   // 1.0
            0x00, 0x00, 0x20, 0xC0,   // -2.5
            0x00, 0x00, 0xB4, 0x42,   // 90.0
            0x00, 0x00, 0x80, 0x3E,   // 0.25
            0x00, 0x00, 0x7A, 0xC4,   // -1000.0
            0x00, 0x00, 0x40, 0x40};  // 3.0
}

TEST(MotionDatagram, BytesOfAPhoneDecodeAtAnyAlignmentAndEncodeBack) {
    const std::vector<uint8_t> bytes = KnownSample();
    const auto encoded = EncodeMotionDatagram(MotionDatagramType::Sample, kKnownValues);
    EXPECT_EQ(std::vector<uint8_t>(encoded.begin(), encoded.end()), bytes);
    // At an odd address, with 0xFF (a NaN if it were read) after the first 25 bytes.
    std::vector<uint8_t> shifted(301, 0xFF);
    std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
    for (size_t size : {size_t{25}, size_t{300}}) {
        auto d = DecodeMotionDatagram(shifted.data() + 1, size);
        ASSERT_TRUE(d.has_value()) << size;
        EXPECT_EQ(d->type, MotionDatagramType::Sample);
        EXPECT_EQ(d->values, kKnownValues);
    }
    EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), 24));
    EXPECT_FALSE(DecodeMotionDatagram(nullptr, 25));
}

TEST(MotionDatagram, UnknownTypesAndNonFiniteSamplesAreRejectedResetsAreZeros) {
    for (uint8_t type : {0, 3, 0xFF}) {
        std::vector<uint8_t> bytes = KnownSample(type);
        EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), bytes.size())) << "type " << int(type);
    }
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
        for (size_t slot = 0; slot < 6; ++slot) {
            std::array<float, 6> values = kKnownValues;
            values[slot] = bad;
            auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, values);
            EXPECT_FALSE(DecodeMotionDatagram(bytes.data(), bytes.size())) << "slot " << slot << " value " << bad;
        }
    }
    // A reset's floats are never read: even NaNs make six zeros.
    std::array<float, 6> nan;
    nan.fill(std::numeric_limits<float>::quiet_NaN());
    auto reset = EncodeMotionDatagram(MotionDatagramType::Reset, nan);
    EXPECT_EQ(reset[0], 2);
    auto d = DecodeMotionDatagram(reset.data(), reset.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->type, MotionDatagramType::Reset);
    EXPECT_EQ(d->values, (std::array<float, 6>{}));
}

}  // namespace
