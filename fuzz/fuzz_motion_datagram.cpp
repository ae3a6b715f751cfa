// The motion datagram decoder: anything of any length and type. A decoded sample carries six
// finite values and survives encoding and decoding again unchanged; a reset decodes to zeros;
// anything shorter than 25 bytes or of another type is not a datagram.
#include <cmath>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "link/motion_datagram.h"
#include "tests/link/datagram_encoder.h"

using namespace qlo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMotionReceiveLimit) return 0;
    const auto decoded = DecodeMotionDatagram(data, size);
    if (size < kMotionDatagramSize || (data[0] != 1 && data[0] != 2)) {
        Check(!decoded, "a short datagram or an unknown type was decoded");
        return 0;
    }
    if (!decoded) {
        Check(data[0] == 1, "a reset was rejected");
        bool allFinite = true;
        for (int i = 0; i < 6; ++i) {
            float v;
            std::memcpy(&v, data + 1 + 4 * i, 4);
            allFinite = allFinite && std::isfinite(v);
        }
        Check(!allFinite, "a sample of finite values was rejected");
        return 0;
    }
    if (decoded->type == MotionDatagramType::Reset) {
        for (float v : decoded->values) Check(v == 0.0f, "a reset with values");
        return 0;
    }
    for (float v : decoded->values) Check(std::isfinite(v), "a sample value that is not finite");
    const auto bytes = EncodeMotionDatagram(decoded->type, decoded->values);
    Check(std::memcmp(bytes.data(), data, kMotionDatagramSize) == 0, "encoding differs from the datagram");
    const auto again = DecodeMotionDatagram(bytes.data(), bytes.size());
    Check(again && again->values == decoded->values, "a datagram does not decode the same twice");
    return 0;
}
