#include "phone/motion_datagram.h"

#include <bit>

namespace qlophone {

namespace {

void PutFloatLE(MotionDatagram& out, size_t offset, float value) {
    const auto bits = std::bit_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace

MotionDatagram EncodeMotionDatagram(DatagramType type, const MotionSample& sample) {
    const MotionSample values = type == DatagramType::Reset ? MotionSample{} : sample;
    MotionDatagram out{};
    out[0] = static_cast<uint8_t>(type);
    PutFloatLE(out, 1, values.orientX);
    PutFloatLE(out, 5, values.orientY);
    PutFloatLE(out, 9, values.orientZ);
    PutFloatLE(out, 13, values.posX);
    PutFloatLE(out, 17, values.posY);
    PutFloatLE(out, 21, values.posZ);
    return out;
}

}  // namespace qlophone
