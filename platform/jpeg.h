// JPEG encoding of the host's 8-bit worlds, in place: the pixels are read where the host left
// them (four bytes per pixel in the order alpha, red, green, blue, with the world's own row
// bytes), the alpha byte is skipped, and nothing is copied or converted first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qlo::jpeg {

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Encodes width x height pixels starting at `base`, `rowBytes` apart. `quality` is the
    // platform image encoder's lossy compression quality, 0.0 to 1.0. On success data() and
    // size() hold the JPEG until the next call; false (with error() set) on failure.
    bool encodeARGB(const void* base, int width, int height, size_t rowBytes, double quality);

    const uint8_t* data() const;
    size_t size() const;
    const std::string& error() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The TurboJPEG quality (1..100) used for a platform quality of 0.0 .. 1.0.
int TurboQuality(double quality);

}  // namespace qlo::jpeg
