#include "hostsim/model/world.h"

#include <stdexcept>

namespace qlo::hostsim {

namespace {
size_t BytesPerPixel(AEGP_WorldType type) {
    switch (type) {
    case AEGP_WorldType_8: return 4;
    case AEGP_WorldType_16: return 8;
    case AEGP_WorldType_32: return 16;
    default: throw std::invalid_argument("world type must be 8, 16 or 32 bits per channel");
    }
}
}  // namespace

World::World(AEGP_WorldType type, int width, int height)
    : type_(type), width_(width), height_(height), bytesPerPixel_(BytesPerPixel(type)) {
    if (width < 1 || height < 1 || width > 30000 || height > 30000)
        throw std::invalid_argument("world size must be 1 x 1 to 30000 x 30000");
    rowBytes_ = (static_cast<size_t>(width) * bytesPerPixel_ + 15) / 16 * 16;
    data_.assign(rowBytes_ * static_cast<size_t>(height), 0);
}

PF_Pixel8* World::pixel8(int x, int y) {
    if (type_ != AEGP_WorldType_8 || x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
    return reinterpret_cast<PF_Pixel8*>(data_.data() + static_cast<size_t>(y) * rowBytes_) + x;
}

const PF_Pixel8* World::pixel8(int x, int y) const {
    return const_cast<World*>(this)->pixel8(x, y);
}

void World::fill8(PF_Pixel8 pixel) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) *pixel8(x, y) = pixel;
}

}  // namespace qlo::hostsim
