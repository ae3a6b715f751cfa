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
    auto picture = std::make_shared<Picture>();
    const size_t row = static_cast<size_t>(width) * 4;
    picture->pixels = TakeBuffer(row * static_cast<size_t>(height));
    const auto* from = static_cast<const uint8_t*>(base);
    uint8_t* to = picture->pixels.data();
    if (rowBytes == row) {
        std::memcpy(to, from, row * static_cast<size_t>(height));
    } else {
        for (int y = 0; y < height; ++y) std::memcpy(to + row * static_cast<size_t>(y), from + rowBytes * static_cast<size_t>(y), row);
    }
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
