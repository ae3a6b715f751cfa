// JPEG encoding of alpha, red, green, blue memory in place, decoded back with TurboJPEG.
#include "platform/jpeg.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <vector>

namespace qlo::jpeg {
namespace {

constexpr uint8_t kColours[4][3] = {{220, 30, 30}, {30, 200, 60}, {40, 60, 230}, {240, 220, 40}};

// Four flat quadrants split at (hw, hh); alpha bytes and row padding hold junk.
std::vector<uint8_t> Quadrants(int w, int h, size_t rowBytes, int hw, int hh, int shift = 0) {
    std::vector<uint8_t> b(rowBytes * h, 0xA7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.data() + y * rowBytes + x * 4;
            p[0] = static_cast<uint8_t>(x * 37 + y);
            for (int c = 0; c < 3; ++c) p[1 + c] = kColours[((x >= hw) + 2 * (y >= hh) + shift) % 4][c];
        }
    return b;
}

// Decodes the JPEG and checks its size, 4:2:0 sampling, and that pixel (x, y) has colour k
// within what quality 45 keeps of flat areas.
void ExpectColour(const Encoder& e, int w, int h, int x, int y, int k) {
    tjhandle d = tjInitDecompress();
    int dw = 0, dh = 0, sub = -1, space = -1;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    ASSERT_EQ(tjDecompressHeader3(d, e.data(), e.size(), &dw, &dh, &sub, &space), 0);
    EXPECT_TRUE(dw == w && dh == h && sub == TJSAMP_420);
    ASSERT_EQ(tjDecompress2(d, e.data(), e.size(), rgb.data(), w, 0, h, TJPF_RGB, 0), 0);
    tjDestroy(d);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(rgb[(y * w + x) * 3 + c], kColours[k][c], 10) << x << "," << y;
}

// Alpha is skipped and rows are read `rowBytes` apart, also for sizes that are no multiple of 16.
TEST(JpegEncoder, FlatAreasKeepTheirColoursWithPaddedRowsAndOddSizes) {
    for (auto [w, h, rowBytes] : {std::tuple{64, 48, 256}, {71, 49, 71 * 4 + 12}}) {
        const int hw = w / 32 * 16, hh = h / 32 * 16;  // on 16-pixel block boundaries
        const auto image = Quadrants(w, h, rowBytes, hw, hh);
        Encoder e;
        ASSERT_TRUE(e.encodeARGB(image.data(), w, h, rowBytes, 0.45)) << e.error();
        ExpectColour(e, w, h, hw / 2, hh / 2, 0);
        ExpectColour(e, w, h, (hw + w) / 2, hh / 2, 1);
        ExpectColour(e, w, h, hw / 2, (hh + h) / 2, 2);
        ExpectColour(e, w, h, w - 3, h - 3, 3);
    }
}

// A failure leaves no stale JPEG behind, and the next frame encodes as if nothing happened.
TEST(JpegEncoder, BadInputFailsAndTheNextFrameEncodes) {
    const auto a = Quadrants(480, 270, 1920, 240, 128), b = Quadrants(480, 270, 1920, 240, 128, 1);
    Encoder e;
    ASSERT_TRUE(e.encodeARGB(a.data(), 480, 270, 1920, 0.45));
    EXPECT_FALSE(e.encodeARGB(nullptr, 480, 270, 1920, 0.45));
    EXPECT_FALSE(e.error().empty());
    EXPECT_EQ(e.size(), 0u) << "no stale JPEG after a failure";
    EXPECT_FALSE(e.encodeARGB(a.data(), 480, 270, 1916, 0.45)) << "rows shorter than width * 4";
    ASSERT_TRUE(e.encodeARGB(b.data(), 480, 270, 1920, 0.45));
    ExpectColour(e, 480, 270, 100, 60, 1);
}

TEST(JpegEncoder, QualityScale) {
    for (auto [quality, turbo] : {std::pair{0.45, 45}, {7.0, 100}, {std::nan(""), 1}})
        EXPECT_EQ(TurboQuality(quality), turbo) << quality;
}

}  // namespace
}  // namespace qlo::jpeg
