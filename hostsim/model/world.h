// A world: a pixel buffer of the host (what the Render Suite hands out and the World Suite
// reads). 8-bit worlds hold PF_Pixel8 pixels (alpha, red, green, blue bytes); 16- and 32-bit
// worlds hold 4 channels of 2 and 4 bytes. Rows are padded to a multiple of 16 bytes, so a
// reader must step by rowBytes(), not by width * pixel size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/AE_SDK.h"

namespace qlo::hostsim {

class World {
public:
    // A world of the type and size, every byte 0 (transparent black). Throws
    // std::invalid_argument for a type other than 8, 16 or 32 bits, or a size below 1 x 1.
    World(AEGP_WorldType type, int width, int height);

    AEGP_WorldType type() const { return type_; }
    int width() const { return width_; }
    int height() const { return height_; }
    size_t rowBytes() const { return rowBytes_; }
    size_t bytesPerPixel() const { return bytesPerPixel_; }

    uint8_t* data() { return data_.data(); }
    const uint8_t* data() const { return data_.data(); }
    size_t sizeBytes() const { return data_.size(); }

    // Pixel (x, y) of an 8-bit world; null for another type or a point outside.
    PF_Pixel8* pixel8(int x, int y);
    const PF_Pixel8* pixel8(int x, int y) const;
    // Fills an 8-bit world with one pixel.
    void fill8(PF_Pixel8 pixel);

private:
    AEGP_WorldType type_;
    int width_;
    int height_;
    size_t bytesPerPixel_;
    size_t rowBytes_;
    std::vector<uint8_t> data_;
};

}  // namespace qlo::hostsim
