#include "link/outgoing_frame.h"

#include <atomic>
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

void ReturnBuffer(std::vector<uint8_t>&& buffer) {
    if (buffer.capacity() == 0) return;
    std::lock_guard<std::mutex> lock(s_poolMutex);
    if (s_pool.size() < kPooledBuffers) s_pool.push_back(std::move(buffer));
}

}  // namespace

std::shared_ptr<OutgoingFrame> OutgoingFrame::CopyARGB(const void* base, int width, int height, size_t rowBytes,
                                                       double quality) {
    if (base == nullptr || width < 1 || height < 1 || rowBytes < static_cast<size_t>(width) * 4) return nullptr;
    std::shared_ptr<OutgoingFrame> frame(new OutgoingFrame());
    const size_t row = static_cast<size_t>(width) * 4;
    frame->pixels_ = TakeBuffer(row * static_cast<size_t>(height));
    const auto* from = static_cast<const uint8_t*>(base);
    uint8_t* to = frame->pixels_.data();
    if (rowBytes == row) {
        std::memcpy(to, from, row * static_cast<size_t>(height));
    } else {
        for (int y = 0; y < height; ++y) std::memcpy(to + row * static_cast<size_t>(y), from + rowBytes * static_cast<size_t>(y), row);
    }
    frame->width_ = width;
    frame->height_ = height;
    frame->quality_ = quality;
    frame->batch_ = NewBatch();
    return frame;
}

std::shared_ptr<OutgoingFrame> OutgoingFrame::FromJpeg(const void* jpeg, size_t length) {
    if (jpeg == nullptr || length == 0) return nullptr;
    std::shared_ptr<OutgoingFrame> frame(new OutgoingFrame());
    const auto* bytes = static_cast<const uint8_t*>(jpeg);
    frame->jpeg_.assign(bytes, bytes + length);
    std::call_once(frame->encoded_, [] {});  // nothing left to encode
    frame->batch_ = NewBatch();
    return frame;
}

uint64_t OutgoingFrame::NewBatch() { return s_nextBatch.fetch_add(1); }

OutgoingFrame::~OutgoingFrame() { ReturnBuffer(std::move(pixels_)); }

const std::vector<uint8_t>& OutgoingFrame::jpeg(qlo::jpeg::Encoder& encoder) {
    std::call_once(encoded_, [&] {
        if (encoder.encodeARGB(pixels_.data(), width_, height_, static_cast<size_t>(width_) * 4, quality_)) {
            jpeg_.assign(encoder.data(), encoder.data() + encoder.size());
        }
        // The pixels are not needed any more: back to the pool at once, not when the last phone
        // has been sent the frame.
        ReturnBuffer(std::move(pixels_));
        pixels_ = std::vector<uint8_t>();
    });
    return jpeg_;
}
