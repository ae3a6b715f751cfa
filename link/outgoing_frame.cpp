#include "link/outgoing_frame.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/jpeg.h"

namespace {

// Pixel buffers waiting for reuse. A pass fills one per phone and the senders let go of them a
// moment later, so a few dozen cover every phone; more than that are freed.
constexpr size_t kPooledBuffers = 48;

std::atomic<uint64_t> s_nextBatch{1};

std::mutex s_poolMutex;
std::vector<std::vector<uint8_t>> s_pool;

std::vector<uint8_t> TakeBuffer(size_t size) {
    std::vector<uint8_t> buffer;
    {
        std::lock_guard<std::mutex> lock(s_poolMutex);
        if (!s_pool.empty()) {
            buffer = std::move(s_pool.back());
            s_pool.pop_back();
        }
    }
    buffer.resize(size);
    return buffer;
}

// Copies n bytes with stores that bypass the cache. The copy is read next by a sender on another
// processor, not by this one, and a frame is larger than this processor's cache share: ordinary
// stores would first fetch every destination line only to overwrite it. Streaming them halves
// the copy's time on the main thread. The caller fences before handing the bytes over.
void StreamCopy(uint8_t* to, const uint8_t* from, size_t n) {
    const size_t head = std::min(n, (16 - reinterpret_cast<uintptr_t>(to) % 16) % 16);
    std::memcpy(to, from, head);
    size_t i = head;
    for (; i + 64 <= n; i += 64) {
        const auto* s = reinterpret_cast<const __m128i*>(from + i);
        auto* d = reinterpret_cast<__m128i*>(to + i);
        const __m128i a = _mm_loadu_si128(s), b = _mm_loadu_si128(s + 1);
        const __m128i c = _mm_loadu_si128(s + 2), e = _mm_loadu_si128(s + 3);
        _mm_stream_si128(d, a);
        _mm_stream_si128(d + 1, b);
        _mm_stream_si128(d + 2, c);
        _mm_stream_si128(d + 3, e);
    }
    std::memcpy(to + i, from + i, n - i);
}

void ReturnBuffer(std::vector<uint8_t>&& buffer) {
    if (buffer.capacity() == 0) return;
    std::lock_guard<std::mutex> lock(s_poolMutex);
    if (s_pool.size() < kPooledBuffers) s_pool.push_back(std::move(buffer));
}

}  // namespace

std::shared_ptr<OutgoingFrame> OutgoingFrame::CopyARGB(const void* base, int width, int height, size_t rowBytes,
                                                       double quality) {
    if (base == nullptr || width < 1 || height < 1 || rowBytes < static_cast<size_t>(width) * 4) return nullptr;
    auto picture = std::make_shared<Picture>();
    const size_t row = static_cast<size_t>(width) * 4;
    picture->pixels = TakeBuffer(row * static_cast<size_t>(height));
    const auto* from = static_cast<const uint8_t*>(base);
    uint8_t* to = picture->pixels.data();
    if (rowBytes == row) {
        StreamCopy(to, from, row * static_cast<size_t>(height));
    } else {
        for (int y = 0; y < height; ++y) StreamCopy(to + row * static_cast<size_t>(y), from + rowBytes * static_cast<size_t>(y), row);
    }
    // Streamed stores are not ordered with the hand-over that follows: fence them first.
    _mm_sfence();
    picture->width = width;
    picture->height = height;
    picture->quality = quality;
    std::shared_ptr<OutgoingFrame> frame(new OutgoingFrame(std::move(picture)));
    frame->batch_ = NewBatch();
    return frame;
}

std::shared_ptr<OutgoingFrame> OutgoingFrame::FromJpeg(const void* jpeg, size_t length) {
    if (jpeg == nullptr || length == 0) return nullptr;
    auto picture = std::make_shared<Picture>();
    const auto* bytes = static_cast<const uint8_t*>(jpeg);
    picture->jpeg.assign(bytes, bytes + length);
    std::call_once(picture->encoded, [] {});  // nothing left to encode
    std::shared_ptr<OutgoingFrame> frame(new OutgoingFrame(std::move(picture)));
    frame->batch_ = NewBatch();
    return frame;
}

std::shared_ptr<OutgoingFrame> OutgoingFrame::Sharing(const std::shared_ptr<OutgoingFrame>& frame) {
    if (!frame) return nullptr;
    std::shared_ptr<OutgoingFrame> other(new OutgoingFrame(frame->picture_));
    other->batch_ = frame->batch_;
    return other;
}

uint64_t OutgoingFrame::NewBatch() { return s_nextBatch.fetch_add(1); }

OutgoingFrame::Picture::~Picture() { ReturnBuffer(std::move(pixels)); }

const std::vector<uint8_t>& OutgoingFrame::jpeg(qlo::jpeg::Encoder& encoder) {
    Picture& p = *picture_;
    std::call_once(p.encoded, [&] {
        if (encoder.encodeARGB(p.pixels.data(), p.width, p.height, static_cast<size_t>(p.width) * 4, p.quality)) {
            p.jpeg.assign(encoder.data(), encoder.data() + encoder.size());
        }
        // The pixels are not needed any more: back to the pool at once, not when the last phone
        // has been sent the frame.
        ReturnBuffer(std::move(p.pixels));
        p.pixels = std::vector<uint8_t>();
    });
    return p.jpeg;
}
