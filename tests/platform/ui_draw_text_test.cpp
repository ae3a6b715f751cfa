// Labels: measured sizes, truncation with an ellipsis, wrapping to at most N lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/png_renderer.h"
#include "platform/ui/text_field.h"

namespace {

using namespace qlo::ui;

const std::string kHint =
    "Download and run Quillo for Adobe After Effects on your iPhone or Android to connect.";

RenderedPixels Render(const std::shared_ptr<TextField>& label, Rect frame) {
    auto root = std::make_shared<View>(frame);
    root->setWantsLayer(true);
    root->setLayerBackgroundColor(Color::calibratedWhite(1));
    label->setFrame({0, 0, frame.width, frame.height});
    label->setTextColor(Color::calibratedWhite(0));
    root->addSubview(label);
    return RenderViewToARGB(*root);
}

// The lowest row with any ink (-1 when blank).
int LowestInkRow(const RenderedPixels& pixels) {
    for (int y = pixels.height - 1; y >= 0; --y) {
        for (int x = 0; x < pixels.width; ++x) {
            if (pixels.colorAt(x, y).r < 0.5) return y;
        }
    }
    return -1;
}

TEST(UiDrawText, LabelSizesAreMeasuredFromTextAndFont) {
    auto shortLabel = TextField::labelWithString("Ready");
    auto longLabel = TextField::labelWithString("Ready Phones");
    const Size s = shortLabel->intrinsicContentSize();
    const Size l = longLabel->intrinsicContentSize();
    EXPECT_GT(s.width, 20);
    EXPECT_GT(l.width, s.width);
    EXPECT_EQ(l.height, s.height);
    EXPECT_EQ(shortLabel->intrinsicHeightForWidth(10), -1) << "one line whatever the width";

    longLabel->setFont(Font::systemFont(13, FontWeight::Bold));
    EXPECT_GT(longLabel->intrinsicContentSize().width, l.width);
    longLabel->setFont(Font::systemFont(24));
    EXPECT_GT(longLabel->intrinsicContentSize().height, 1.5 * l.height);
}

TEST(UiDrawText, TextThatIsNotUtf8IsStillDrawn) {
    // Pango refuses invalid text whole; such a name must still show (with U+FFFD in place).
    auto broken = TextField::labelWithString(std::string("Phone \xff\xfe B\0C", 13));
    EXPECT_GT(broken->intrinsicContentSize().width,
              TextField::labelWithString("Phone")->intrinsicContentSize().width);
    EXPECT_GE(LowestInkRow(Render(broken, {0, 0, 200, 20})), 0);
}

TEST(UiDrawText, TailTruncationEndsInAnEllipsis) {
    const std::string text = "A phone with a rather long name that cannot fit";
    auto truncated = TextField::labelWithString(text);
    truncated->setLineBreakMode(LineBreakMode::TruncatingTail);
    const RenderedPixels drawn = Render(truncated, {0, 0, 90, 18});
    ASSERT_GE(LowestInkRow(drawn), 0);

    // The same picture as some prefix of the text followed by "…", drawn clipped.
    bool matched = false;
    for (size_t n = 1; n < text.size() && !matched; ++n) {
        auto manual = TextField::labelWithString(text.substr(0, n) + "\u2026");
        matched = Render(manual, {0, 0, 90, 18}).argb == drawn.argb;
    }
    EXPECT_TRUE(matched);
    // Clipping (no ellipsis) draws something else.
    EXPECT_NE(Render(TextField::labelWithString(text), {0, 0, 90, 18}).argb, drawn.argb);
}

TEST(UiDrawText, WrappingLabelsWrapToAtMostTheirMaximumLines) {
    auto hint = TextField::wrappingLabelWithString(kHint);
    const double lineHeight = TextField::labelWithString("x")->intrinsicContentSize().height;
    EXPECT_TRUE(hint->wrapsLines());
    EXPECT_EQ(hint->intrinsicHeightForWidth(2000), lineHeight);
    EXPECT_GE(hint->intrinsicHeightForWidth(120), 5 * lineHeight) << "unlimited";

    hint->setMaximumNumberOfLines(3);
    // Heights are whole points, so n lines measure within a point or two of n single lines.
    EXPECT_NEAR(hint->intrinsicHeightForWidth(120), 3 * lineHeight, 2.5);
    EXPECT_NEAR(hint->intrinsicHeightForWidth(300), 2 * lineHeight, 2.5);
    // In a taller frame the text still stops after three lines.
    const RenderedPixels pixels = Render(hint, {0, 0, 120, 200});
    EXPECT_GT(LowestInkRow(pixels), hint->intrinsicHeightForWidth(300));
    EXPECT_LT(LowestInkRow(pixels), hint->intrinsicHeightForWidth(120));
}

}  // namespace
