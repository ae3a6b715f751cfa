// A frame copied from the host's world: rows the host pads to a wider stride are copied packed,
// so the phones get the same picture as from rows without padding.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/outgoing_frame.h"
#include "platform/jpeg.h"

TEST(OutgoingFrame, PaddedRowsGiveThePictureOfPackedRows) {
    const int width = 16, height = 16;
    const size_t packedRow = width * 4, paddedRow = packedRow + 40;
    std::vector<uint8_t> packed(packedRow * height), padded(paddedRow * height, 0x7F);
    for (int y = 0; y < height; ++y) {
        for (size_t x = 0; x < packedRow; ++x) {
            const uint8_t value = static_cast<uint8_t>(y < height / 2 ? 255 : x * 3);
            packed[y * packedRow + x] = value;
            padded[y * paddedRow + x] = value;
        }
    }
    qlo::jpeg::Encoder encoder;
    ASSERT_TRUE(encoder.encodeARGB(packed.data(), width, height, packedRow, 0.8));
    const std::vector<uint8_t> expected(encoder.data(), encoder.data() + encoder.size());
    for (size_t rowBytes : {packedRow, paddedRow}) {
        const auto frame = OutgoingFrame::CopyARGB(rowBytes == packedRow ? packed.data() : padded.data(), width,
                                                   height, rowBytes, 0.8);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->jpeg(encoder), expected) << rowBytes << " bytes a row";
    }
    // Rows narrower than the width, and a picture without width or without height, are refused.
    EXPECT_EQ(OutgoingFrame::CopyARGB(packed.data(), width, height, packedRow - 1, 0.8), nullptr);
    EXPECT_EQ(OutgoingFrame::CopyARGB(packed.data(), 0, height, packedRow, 0.8), nullptr);
    EXPECT_EQ(OutgoingFrame::CopyARGB(packed.data(), width, 0, packedRow, 0.8), nullptr);
}
