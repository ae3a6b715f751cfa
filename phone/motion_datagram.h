// The motion datagram a phone sends to the plug-in's UDP motion port: 25 bytes, byte 0 the type
// (1 sample, 2 reset), then six IEEE-754 float32 values, little-endian, at offsets 1, 5, 9, 13,
// 17 and 21: orientX, orientY, orientZ (degrees), posX, posY, posZ (offsets in composition units).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qlophone {

inline constexpr size_t kMotionDatagramSize = 25;

enum class DatagramType : uint8_t {
    Sample = 1,
    Reset = 2,
};

struct MotionSample {
    float orientX = 0, orientY = 0, orientZ = 0;
    float posX = 0, posY = 0, posZ = 0;
};

using MotionDatagram = std::array<uint8_t, kMotionDatagramSize>;

// Byte order is written explicitly, so the datagram is the same on every machine. A reset
// carries six zeros whatever `sample` holds.
MotionDatagram EncodeMotionDatagram(DatagramType type, const MotionSample& sample);

}  // namespace qlophone
