// Comparing stream frames by their picture: a JPEG is decoded to grey at a reduced scale and
// averaged into a fixed grid of cells, and two grids are compared by the mean absolute difference
// of their cells (in grey levels, 0-255). Averaging over cells smooths away most of the JPEG
// compression noise, and the fixed grid makes frames of any size comparable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qlophone {

inline constexpr int kGridColumns = 32;
inline constexpr int kGridRows = 24;

struct GrayGrid {
    int columns = 0;
    int rows = 0;
    std::vector<float> cells;  // row by row, each the mean grey level of its cell

    bool empty() const { return cells.empty(); }
};

// Decodes JPEG frames; keeps one TurboJPEG decompressor, so one instance per thread.
class FrameDecoder {
public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // The frame's grid, or empty with `error` when the bytes are not a decodable JPEG. Frames
    // smaller than the grid give a grid of their own size (every pixel its own cell).
    std::optional<GrayGrid> decode(std::span<const uint8_t> jpeg, std::string& error);

private:
    void* handle_ = nullptr;
    std::vector<uint8_t> pixels_;
};

// Mean absolute difference of two grids' cells; +infinity when their shapes differ (a frame of
// another size counts as a changed picture).
double MeanAbsoluteDifference(const GrayGrid& a, const GrayGrid& b);

}  // namespace qlophone
