#include "hostsim/render/lens_blur.h"

#include <algorithm>
#include <cmath>

namespace qlo::hostsim::render {

namespace {

// Points closer to the camera than this are cut away by the renderer (its near plane).
constexpr double kNearDepth = 1.0;

// One box pass along each row: the mean of the 2 * half + 1 pixels around each pixel, the
// row's end pixels standing in for what lies beyond them. Reads `from`, writes `to`.
void BoxPassRows(const float* from, float* to, int width, int height, int half) {
    const float scale = 1.0f / static_cast<float>(2 * half + 1);
    const auto at = [width](int k) { return static_cast<size_t>(std::clamp(k, 0, width - 1)) * 4; };
    for (int j = 0; j < height; ++j) {
        const float* in = from + static_cast<size_t>(j) * static_cast<size_t>(width) * 4;
        float* out = to + static_cast<size_t>(j) * static_cast<size_t>(width) * 4;
        float sum[4] = {0, 0, 0, 0};
        for (int k = -half; k <= half; ++k) {
            for (int c = 0; c < 4; ++c) sum[c] += in[at(k) + c];
        }
        for (int k = 0; k < width; ++k) {
            for (int c = 0; c < 4; ++c) out[k * 4 + c] = std::max(0.0f, sum[c] * scale);
            const size_t enter = at(k + half + 1), leave = at(k - half);
            for (int c = 0; c < 4; ++c) sum[c] += in[enter + c] - in[leave + c];
        }
    }
}

// Adds (or subtracts) one row to the running column sums. Plain loops over distinct arrays, so
// that the compiler runs them four floats at a time.
void AddRow(float* __restrict sum, const float* __restrict row, size_t n) {
    for (size_t i = 0; i < n; ++i) sum[i] += row[i];
}
void SubtractRow(float* __restrict sum, const float* __restrict row, size_t n) {
    for (size_t i = 0; i < n; ++i) sum[i] -= row[i];
}
void ScaleRow(float* __restrict out, const float* __restrict sum, size_t n, float scale) {
    for (size_t i = 0; i < n; ++i) {
        const float v = sum[i] * scale;
        out[i] = v > 0.0f ? v : 0.0f;
    }
}

// The same along each column, a whole row at a time (one running sum per column), so that
// memory is read in order.
void BoxPassColumns(const float* from, float* to, int width, int height, int half, std::vector<float>& sums) {
    const size_t row = static_cast<size_t>(width) * 4;
    const float scale = 1.0f / static_cast<float>(2 * half + 1);
    const auto line = [&](int y) { return from + static_cast<size_t>(std::clamp(y, 0, height - 1)) * row; };
    sums.assign(row, 0.0f);
    float* sum = sums.data();
    for (int y = -half; y <= half; ++y) AddRow(sum, line(y), row);
    for (int y = 0; y < height; ++y) {
        ScaleRow(to + static_cast<size_t>(y) * row, sum, row, scale);
        AddRow(sum, line(y + half + 1), row);
        SubtractRow(sum, line(y - half), row);
    }
}

}  // namespace

double BlurRadius(const CameraView& view, double z) {
    if (!view.depthOfField || !(z > kNearDepth)) return 0;
    const double focus = std::max(view.focusDistance, kNearDepth);
    const double diameter = std::fabs(view.aperture) * (std::max(view.blurLevel, 0.0) / 100) * view.zoom *
                            std::fabs(z - focus) / (z * focus);
    if (!std::isfinite(diameter)) return 0;
    return std::min(diameter / 2, kMaxBlurRadius);
}

int BoxHalfWidth(double radius) {
    if (!(radius >= 0.5)) return 0;
    // Three boxes of width w = 2h + 1 have the variance 3 (w^2 - 1) / 12 = sigma^2.
    const double sigma = std::min(radius, kMaxBlurRadius) / 2;
    const double width = std::sqrt(4 * sigma * sigma + 1);
    return std::max(1, static_cast<int>(std::lround((width - 1) / 2)));
}

void BlurSeparable(BlurImage& image, double radiusX, double radiusY, std::vector<float>& scratch) {
    const int w = image.width, h = image.height;
    if (w <= 0 || h <= 0) return;
    scratch.resize(image.pixels.size());
    float* a = image.pixels.data();
    float* b = scratch.data();
    std::vector<float> sums;
    const int halfX = BoxHalfWidth(radiusX), halfY = BoxHalfWidth(radiusY);
    for (int pass = 0; pass < 3 && halfX > 0; ++pass) {
        BoxPassRows(a, b, w, h, halfX);
        std::swap(a, b);
    }
    for (int pass = 0; pass < 3 && halfY > 0; ++pass) {
        BoxPassColumns(a, b, w, h, halfY, sums);
        std::swap(a, b);
    }
    if (a != image.pixels.data()) std::copy(a, a + image.pixels.size(), image.pixels.data());
}

void LayBlurred(const World& alone, World& out, int x0, int y0, int x1, int y1, double radiusX, double radiusY,
                float opacity, LensBuffers& buffers) {
    if (x0 >= x1 || y0 >= y1) return;
    // The reduction: 1, 2 or 4, at most half the smaller radius.
    int f = 1;
    while (f < 4 && std::min(radiusX, radiusY) >= 2.0 * (2 * f)) f *= 2;
    BlurImage& image = buffers.image;
    image.width = (x1 - x0 + f - 1) / f;
    image.height = (y1 - y0 + f - 1) / f;
    image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4, 0.0f);
    // Each reduced pixel is the mean of its block (blocks at the right and bottom may be cut).
    const auto block = [f](int index, int length) { return static_cast<float>(std::min(f, length - index * f)); };
    for (int y = y0; y < y1; ++y) {
        const float rowShare = 1.0f / (255.0f * block((y - y0) / f, y1 - y0));
        const PF_Pixel8* row = alone.pixel8(x0, y);
        float* reduced = image.pixels.data() + static_cast<size_t>((y - y0) / f) * static_cast<size_t>(image.width) * 4;
        for (int x = 0; x < x1 - x0; ++x) {
            if (row[x].alpha == 0) continue;
            float* p = reduced + static_cast<size_t>(x / f) * 4;
            const float cover = row[x].alpha / 255.0f;
            const float share = rowShare / block(x / f, x1 - x0);
            p[0] += row[x].red * cover * share;
            p[1] += row[x].green * cover * share;
            p[2] += row[x].blue * cover * share;
            p[3] += 255.0f * cover * share;
        }
    }
    BlurSeparable(image, radiusX / f, radiusY / f, buffers.scratch);

    const auto at = [&](int ix, int iy) {
        ix = std::clamp(ix, 0, image.width - 1);
        iy = std::clamp(iy, 0, image.height - 1);
        return image.pixels.data() + (static_cast<size_t>(iy) * static_cast<size_t>(image.width) + static_cast<size_t>(ix)) * 4;
    };
    for (int y = y0; y < y1; ++y) {
        PF_Pixel8* row = out.pixel8(x0, y);
        const float v = (static_cast<float>(y - y0) + 0.5f) / static_cast<float>(f) - 0.5f;
        const int iy = static_cast<int>(std::floor(v));
        const float fy = v - static_cast<float>(iy);
        for (int x = 0; x < x1 - x0; ++x) {
            float px[4];
            if (f == 1) {
                const float* p = at(x, y - y0);
                std::copy(p, p + 4, px);
            } else {
                const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(f) - 0.5f;
                const int ix = static_cast<int>(std::floor(u));
                const float fx = u - static_cast<float>(ix);
                const float *a = at(ix, iy), *b = at(ix + 1, iy), *c = at(ix, iy + 1), *d = at(ix + 1, iy + 1);
                for (int k = 0; k < 4; ++k)
                    px[k] = (a[k] * (1 - fx) + b[k] * fx) * (1 - fy) + (c[k] * (1 - fx) + d[k] * fx) * fy;
            }
            if (px[3] <= 0.0f) continue;
            const float keep = 1.0f - std::min(px[3], 1.0f) * opacity;
            const auto mix = [&](uint8_t under, float over) {
                return static_cast<uint8_t>(std::clamp(under * keep + over * opacity * 255.0f + 0.5f, 0.0f, 255.0f));
            };
            row[x].red = mix(row[x].red, px[0]);
            row[x].green = mix(row[x].green, px[1]);
            row[x].blue = mix(row[x].blue, px[2]);
        }
    }
}

World& LensBuffers::worldOf(int width, int height) {
    if (!world || world->width() != width || world->height() != height)
        world = std::make_unique<World>(AEGP_WorldType_8, width, height);
    return *world;
}

}  // namespace qlo::hostsim::render
