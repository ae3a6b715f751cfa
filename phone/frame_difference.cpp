#include "phone/frame_difference.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qlophone {

namespace {

// The smallest TurboJPEG scale that still leaves two pixels per cell in each direction; decoding
// at 1/8 scale is several times faster than at full size.
tjscalingfactor PickScale(int width, int height) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    int bestWidth = width;
    for (int i = 0; factors && i < count; ++i) {
        const int w = TJSCALED(width, factors[i]);
        const int h = TJSCALED(height, factors[i]);
        if (w >= 2 * kGridColumns && h >= 2 * kGridRows && w < bestWidth) {
            best = factors[i];
            bestWidth = w;
        }
    }
    return best;
}

}  // namespace

FrameDecoder::FrameDecoder() : handle_(tjInitDecompress()) {}

FrameDecoder::~FrameDecoder() {
    if (handle_) tjDestroy(static_cast<tjhandle>(handle_));
}

std::optional<GrayGrid> FrameDecoder::decode(std::span<const uint8_t> jpeg, std::string& error) {
    auto handle = static_cast<tjhandle>(handle_);
    if (!handle) {
        error = "cannot create a JPEG decoder";
        return std::nullopt;
    }
    if (jpeg.empty() || jpeg.size() > std::numeric_limits<unsigned long>::max()) {
        error = "empty frame";
        return std::nullopt;
    }
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width, &height,
                            &subsampling, &colorspace) != 0) {
        error = std::string("not a decodable JPEG: ") + tjGetErrorStr2(handle);
        return std::nullopt;
    }
    // Frames of the plug-in are a quarter of the composition; anything beyond 16k x 16k is not a
    // frame this phone should spend memory on.
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        error = "JPEG size " + std::to_string(width) + "x" + std::to_string(height) + " out of range";
        return std::nullopt;
    }
    const tjscalingfactor scale = PickScale(width, height);
    const int w = TJSCALED(width, scale);
    const int h = TJSCALED(height, scale);
    pixels_.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), pixels_.data(), w, w, h,
                      TJPF_GRAY, TJFLAG_FASTDCT) != 0 &&
        tjGetErrorCode(handle) == TJERR_FATAL) {
        error = std::string("JPEG decoding failed: ") + tjGetErrorStr2(handle);
        return std::nullopt;
    }
    GrayGrid grid;
    grid.columns = std::min(w, kGridColumns);
    grid.rows = std::min(h, kGridRows);
    grid.cells.assign(static_cast<size_t>(grid.columns) * static_cast<size_t>(grid.rows), 0.0f);
    std::vector<uint32_t> counts(grid.cells.size(), 0);
    std::vector<uint64_t> sums(grid.cells.size(), 0);
    for (int y = 0; y < h; ++y) {
        const size_t rowBase = static_cast<size_t>(y * grid.rows / h) * static_cast<size_t>(grid.columns);
        const uint8_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int x = 0; x < w; ++x) {
            const size_t cell = rowBase + static_cast<size_t>(x * grid.columns / w);
            sums[cell] += row[x];
            ++counts[cell];
        }
    }
    for (size_t i = 0; i < grid.cells.size(); ++i) {
        grid.cells[i] = counts[i] ? static_cast<float>(sums[i]) / static_cast<float>(counts[i]) : 0.0f;
    }
    return grid;
}

double MeanAbsoluteDifference(const GrayGrid& a, const GrayGrid& b) {
    if (a.columns != b.columns || a.rows != b.rows || a.cells.size() != b.cells.size() || a.cells.empty()) {
        return std::numeric_limits<double>::infinity();
    }
    double sum = 0.0;
    for (size_t i = 0; i < a.cells.size(); ++i) sum += std::fabs(static_cast<double>(a.cells[i]) - b.cells[i]);
    return sum / static_cast<double>(a.cells.size());
}

}  // namespace qlophone
