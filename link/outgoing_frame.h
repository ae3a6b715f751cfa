// One frame on its way to the phones: the host's pixels, copied out of the rendered world on the
// main thread before the world goes back to the host, and the JPEG made of them, encoded later by
// the first phone sender that needs it (every phone the same frame goes to shares that one
// encoding). A frame may also start out as JPEG bytes already encoded. Phones that look through
// the same camera get frames of their own that share one picture (Sharing), so each phone's
// sender holds its own frame and the main thread can tell which phone has taken its frame.
//
// The pixel buffers are large (480 x 270 x 4 bytes for a 1920 x 1080 composition) and one is
// filled per phone per work pass; they are kept in a small process-wide pool and reused, so a pass
// neither allocates nor faults in fresh pages for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qlo::jpeg {
class Encoder;
}

class OutgoingFrame {
public:
    // Copies width x height pixels of four bytes (alpha, red, green, blue), rows `rowBytes` apart,
    // to be encoded at `quality` (0.0 .. 1.0). Null when there is nothing to copy.
    static std::shared_ptr<OutgoingFrame> CopyARGB(const void* base, int width, int height, size_t rowBytes,
                                                   double quality);
    // A frame that is already a JPEG (copied). Null when it is empty.
    static std::shared_ptr<OutgoingFrame> FromJpeg(const void* jpeg, size_t length);
    // Another frame of the same picture and batch, for another phone: both share the pixels and
    // the one encoding. Null for a null frame.
    static std::shared_ptr<OutgoingFrame> Sharing(const std::shared_ptr<OutgoingFrame>& frame);

    ~OutgoingFrame() = default;
    OutgoingFrame(const OutgoingFrame&) = delete;
    OutgoingFrame& operator=(const OutgoingFrame&) = delete;

    // Frames belong to batches, numbered in the order they were made: every frame starts in a
    // batch of its own; the frames one work pass sends (a phone's own frame and the frame shared
    // by all phones) join one batch. A phone's sender keeps the frames of the newest batch only.
    static uint64_t NewBatch();
    void joinBatch(uint64_t batch) { batch_ = batch; }
    uint64_t batch() const { return batch_; }

    // The frame's JPEG bytes. The first caller encodes the pixels with its own encoder (callers on
    // other threads wait for it and get the same bytes); empty when the encoding failed.
    const std::vector<uint8_t>& jpeg(qlo::jpeg::Encoder& encoder);

private:
    // The picture: the pixels until encoded, then the JPEG.
    struct Picture {
        ~Picture();
        std::vector<uint8_t> pixels;  // width * 4 bytes a row, from the pool
        int width = 0;
        int height = 0;
        double quality = 0;
        std::once_flag encoded;
        std::vector<uint8_t> jpeg;
    };

    explicit OutgoingFrame(std::shared_ptr<Picture> picture) : picture_(std::move(picture)) {}

    std::shared_ptr<Picture> picture_;
    uint64_t batch_ = 0;
};
