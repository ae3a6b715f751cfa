// The 25 bytes of a motion datagram as a phone sends them (layout in link/motion_datagram.h),
// for the tests, fuzz targets and benchmarks that play a phone. The plug-in only ever decodes
// datagrams, so the encoder lives here and does not ship in it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "link/motion_datagram.h"

inline std::array<uint8_t, kMotionDatagramSize> EncodeMotionDatagram(MotionDatagramType type,
                                                                     const std::array<float, 6>& values) {
    std::array<uint8_t, kMotionDatagramSize> bytes{};
    bytes[0] = static_cast<uint8_t>(type);
    for (size_t i = 0; i < values.size(); ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        for (size_t b = 0; b < 4; ++b) bytes[1 + 4 * i + b] = static_cast<uint8_t>(bits >> (8 * b));
    }
    return bytes;
}
