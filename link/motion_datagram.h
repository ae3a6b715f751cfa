// The motion datagram a phone sends to the motion port: 25 bytes, no header.
//
//   offset 0   uint8    type: 1 = motion sample, 2 = reset; any other value is ignored
//   offset 1   float32  orientX  (degrees)
//   offset 5   float32  orientY
//   offset 9   float32  orientZ
//   offset 13  float32  posX     (composition units, offset from the camera's base position)
//   offset 17  float32  posY
//   offset 21  float32  posZ
//
// All floats are IEEE 754 single precision, little-endian, at unaligned offsets. Bytes after
// offset 24 are ignored; anything shorter than 25 bytes is not a datagram. A reset carries the
// same 25 bytes, but its floats are not used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

inline constexpr size_t kMotionDatagramSize = 25;
// The receiver reads at most this many bytes of one datagram.
inline constexpr size_t kMotionReceiveLimit = 256;

enum class MotionDatagramType : uint8_t {
    Sample = 1,
    Reset = 2,
};

struct MotionDatagram {
    MotionDatagramType type = MotionDatagramType::Sample;
    // orientX, orientY, orientZ, posX, posY, posZ. All zeros for a reset.
    std::array<float, 6> values{};
};

// Decodes the first 25 bytes. No result when fewer than 25 bytes are given, when the type is
// neither sample nor reset, or when a sample carries a value that is not finite (NaN or
// infinity would end up in the camera's orientation and position).
std::optional<MotionDatagram> DecodeMotionDatagram(const uint8_t* data, size_t size);
