#include "link/motion_datagram.h"
#include "tests/link/datagram_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

using Six = std::array<float, 6>;
const Six kKnownValues = {1.0f, -2.5f, 90.0f, 0.25f, -1000.0f, 3.0f};

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

std::vector<uint8_t> Encoded(MotionDatagramType type, size_t slot, float value) {
    Six values = kKnownValues;
    values[slot] = value;
    const auto bytes = EncodeMotionDatagram(type, values);
    return {bytes.begin(), bytes.end()};
}

TEST(MotionDatagram, BytesOfAPhoneDecodeAtAnyAlignmentAndInvalidOnesAreRejected) {
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
    // A reset's floats are never read: even NaNs make six zeros.
    const auto reset = Encoded(MotionDatagramType::Reset, 0, std::numeric_limits<float>::quiet_NaN());
    const auto d = DecodeMotionDatagram(reset.data(), reset.size());
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->type, MotionDatagramType::Reset);
    EXPECT_EQ(d->values, Six{});

    // Rejected: too short, unknown types, samples that are not finite.
    std::vector<uint8_t> shortOne = KnownSample();
    shortOne.pop_back();
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"24 bytes", shortOne},
        {"type 0", KnownSample(0)},
        {"type 3", KnownSample(3)},
        {"NaN first", Encoded(MotionDatagramType::Sample, 0, std::numeric_limits<float>::quiet_NaN())},
        {"-inf last", Encoded(MotionDatagramType::Sample, 5, -std::numeric_limits<float>::infinity())},
    };
    for (const auto& [what, input] : cases) EXPECT_FALSE(DecodeMotionDatagram(input.data(), input.size())) << what;
    EXPECT_FALSE(DecodeMotionDatagram(nullptr, 25));
}

}  // namespace
