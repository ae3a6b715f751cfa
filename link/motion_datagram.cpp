#include "link/motion_datagram.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "the datagram carries IEEE 754 single-precision floats");

uint32_t FromLittleEndian(uint32_t v) {
    if constexpr (std::endian::native == std::endian::big)
        return __builtin_bswap32(v);
    return v;
}

// Reads the little-endian float at p, which need not be aligned.
float ReadFloatLE(const uint8_t* p) {
    uint32_t bits;
    std::memcpy(&bits, p, sizeof bits);
    return std::bit_cast<float>(FromLittleEndian(bits));
}

}  // namespace

std::optional<MotionDatagram> DecodeMotionDatagram(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kMotionDatagramSize) return std::nullopt;
    MotionDatagram d;
    switch (data[0]) {
        case static_cast<uint8_t>(MotionDatagramType::Sample):
            d.type = MotionDatagramType::Sample;
            for (size_t i = 0; i < d.values.size(); ++i) {
                d.values[i] = ReadFloatLE(data + 1 + 4 * i);
                if (!std::isfinite(d.values[i])) return std::nullopt;
            }
            return d;
        case static_cast<uint8_t>(MotionDatagramType::Reset):
            d.type = MotionDatagramType::Reset;
            return d;  // a reset's floats are not used: the sample becomes zeros
        default:
            return std::nullopt;
    }
}
