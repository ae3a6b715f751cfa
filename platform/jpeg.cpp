// JPEG encoding with TurboJPEG. The host's 8-bit pixels (alpha, red, green, blue bytes) are
// handed to tjCompress2 as TJPF_XRGB, which reads the same four bytes and ignores the first, so
// the world's memory is compressed where it lies, row by row at the world's own row bytes.
//
// The output buffer is allocated with tjAlloc at the worst-case size for the frame
// (tjBufSize) and kept; TJFLAG_NOREALLOC stops TurboJPEG from replacing it. It only grows when
// a larger frame comes, so encoding frames of one size allocates nothing after the first.
#include "platform/jpeg.h"

#include <turbojpeg.h>

#include <cmath>
#include <limits>

namespace qlo::jpeg {

namespace {
// 4:2:0 chroma subsampling: half the colour resolution in both directions, the usual choice for
// camera-like pictures and what the platform encoder does at this quality.
constexpr int kSubsampling = TJSAMP_420;
}  // namespace

struct Encoder::State {
    tjhandle handle = nullptr;
    unsigned char* buffer = nullptr;  // tjAlloc'ed, `capacity` bytes
    unsigned long capacity = 0;
    size_t size = 0;  // bytes of the last JPEG
    std::string error;

    ~State() {
        if (buffer) tjFree(buffer);
        if (handle) tjDestroy(handle);
    }

    bool fail(std::string message) {
        size = 0;
        error = std::move(message);
        return false;
    }
};

int TurboQuality(double quality) {
    // The platform's 0..1 scale is TurboJPEG's 1..100 scale divided by 100: 0.45 -> 45.
    // Values outside 0..1 are clamped; 0 (and NaN) give TurboJPEG's lowest quality, 1.
    if (!(quality > 0)) return 1;
    if (quality >= 1) return 100;
    const int q = static_cast<int>(std::lround(quality * 100));
    return q < 1 ? 1 : q;
}

Encoder::Encoder() : state_(std::make_unique<State>()) {}
Encoder::~Encoder() = default;

bool Encoder::encodeARGB(const void* base, int width, int height, size_t rowBytes, double quality) {
    State& s = *state_;
    if (!base) return s.fail("no pixels (null base address)");
    if (width < 1 || height < 1) return s.fail("empty image (" + std::to_string(width) + " x " +
                                               std::to_string(height) + ")");
    if (rowBytes < static_cast<size_t>(width) * 4)
        return s.fail("row bytes " + std::to_string(rowBytes) + " are fewer than width * 4");
    if (rowBytes > static_cast<size_t>(std::numeric_limits<int>::max()))
        return s.fail("row bytes too large");
    if (!s.handle) {
        s.handle = tjInitCompress();
        if (!s.handle) return s.fail(std::string("TurboJPEG compressor: ") + tjGetErrorStr2(nullptr));
    }
    const unsigned long needed = tjBufSize(width, height, kSubsampling);
    if (needed == static_cast<unsigned long>(-1)) return s.fail(std::string("TurboJPEG: ") + tjGetErrorStr2(nullptr));
    if (needed > s.capacity) {
        if (needed > static_cast<unsigned long>(std::numeric_limits<int>::max()))
            return s.fail("image too large to encode");
        if (s.buffer) tjFree(s.buffer);
        s.buffer = tjAlloc(static_cast<int>(needed));
        s.capacity = s.buffer ? needed : 0;
        if (!s.buffer) return s.fail("cannot allocate the JPEG buffer");
    }
    unsigned char* out = s.buffer;
    unsigned long outSize = s.capacity;
    const int rc = tjCompress2(s.handle, static_cast<const unsigned char*>(base), width,
                               static_cast<int>(rowBytes), height, TJPF_XRGB, &out, &outSize,
                               kSubsampling, TurboQuality(quality), TJFLAG_NOREALLOC);
    if (rc != 0) return s.fail(std::string("TurboJPEG: ") + tjGetErrorStr2(s.handle));
    s.size = outSize;
    s.error.clear();
    return true;
}

const uint8_t* Encoder::data() const { return state_->size ? state_->buffer : nullptr; }
size_t Encoder::size() const { return state_->size; }
const std::string& Encoder::error() const { return state_->error; }

}  // namespace qlo::jpeg
