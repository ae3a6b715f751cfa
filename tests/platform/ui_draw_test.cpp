// Drawing: hidden views, layers and clipping; the system symbols and the status image draw for
// real, template images take their tint, bitmaps are copied and fill a view of their aspect; a
// button lays its image out left of its title. Labels: measured sizes, truncation with an
// ellipsis, wrapping to at most N lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/button.h"
#include "platform/ui/image_view.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/text_field.h"

namespace {

using namespace qlo::ui;

RenderedPixels RenderImage(std::shared_ptr<Image> image, Size size, std::optional<Color> tint = {}) {
    auto view = std::make_shared<ImageView>(Rect{0, 0, size.width, size.height});
    view->setImage(std::move(image));
    view->setContentTintColor(tint);
    return RenderViewToARGB(*view);
}

std::shared_ptr<View> Backdrop(Rect frame, Color color) {
    auto view = std::make_shared<View>(frame);
    view->setWantsLayer(true);
    view->setLayerBackgroundColor(color);
    return view;
}

// Calls visit(x, y, colour) for every pixel, row by row.
template <typename Visit>
void ForEachPixel(const RenderedPixels& pixels, Visit visit) {
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) visit(x, y, pixels.colorAt(x, y));
    }
}

// Black text on white, the label filling the frame.
RenderedPixels RenderLabel(const std::shared_ptr<TextField>& label, Rect frame) {
    auto root = Backdrop(frame, Color::calibratedWhite(1));
    label->setFrame({0, 0, frame.width, frame.height});
    label->setTextColor(Color::calibratedWhite(0));
    root->addSubview(label);
    return RenderViewToARGB(*root);
}

// The lowest row with any ink (-1 when blank).
int LowestInkRow(const RenderedPixels& pixels) {
    int lowest = -1;
    ForEachPixel(pixels, [&](int, int y, Color c) { lowest = c.r < 0.5 ? y : lowest; });
    return lowest;
}

TEST(UiDraw, HiddenViewsAreSkippedLayersDrawOnlyWhenWantedAndSubviewsAreClipped) {
    const Color white = Color::calibratedWhite(1), black = Color::calibratedWhite(0);
    auto root = Backdrop({0, 0, 60, 20}, white);
    auto hidden = Backdrop({0, 0, 20, 20}, black);
    hidden->addSubview(Backdrop({0, 0, 10, 10}, black));
    hidden->setHidden(true);
    auto noLayer = Backdrop({20, 0, 20, 20}, black);
    noLayer->setWantsLayer(false);
    auto box = std::make_shared<View>(Rect{40, 0, 10, 10});
    box->addSubview(Backdrop({5, 5, 30, 30}, black));
    for (const auto& v : {hidden, noLayer, box}) root->addSubview(v);
    const RenderedPixels pixels = RenderViewToARGB(*root);
    EXPECT_EQ(pixels.colorAt(5, 5), white);
    EXPECT_EQ(pixels.colorAt(30, 10), white);
    EXPECT_EQ(pixels.colorAt(47, 7), black);
    EXPECT_EQ(pixels.colorAt(52, 7), white) << "outside the box";
}

TEST(UiDraw, EverySymbolLoadsAndDrawsAShapeUnknownNamesGiveNull) {
    for (const char* name : {"eye.fill", "eye.slash.fill", "iphone", "apple.logo", "play.fill", "rectangle.split.2x1"}) {
        auto image = Image::systemSymbol(name, 16);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_TRUE(image->isTemplate());
        int inked = 0;
        for (uint32_t p : RenderImage(image, {24, 24}).argb) inked += (p >> 24) > 0 ? 1 : 0;
        EXPECT_GT(inked, 24) << name;
        EXPECT_LT(inked, 24 * 24) << name << " is a shape, not a filled square";
    }
    EXPECT_EQ(Image::systemSymbol("eye.fil"), nullptr);
    EXPECT_EQ(Image::named("NSStatusUnknownName"), nullptr);
    EXPECT_NE(RenderImage(Image::systemSymbol("eye.fill"), {24, 24}).argb,
              RenderImage(Image::systemSymbol("eye.slash.fill"), {24, 24}).argb);
    EXPECT_GT(Image::systemSymbol("iphone", 32)->size().height, Image::systemSymbol("iphone", 16)->size().height);
}

TEST(UiDraw, TemplateImagesTakeTheTintOtherImagesKeepTheirColours) {
    const RenderedPixels red = RenderImage(Image::systemSymbol("play.fill", 16), {20, 20}, Color::rgb(1, 0, 0));
    int solid = 0;
    ForEachPixel(red, [&](int x, int y, Color c) {
        if (c.a < 0.5) return;
        ++solid;
        EXPECT_TRUE(c.r > 0.98 && c.g < 0.02 && c.b < 0.02) << x << "," << y;
    });
    EXPECT_GT(solid, 40);
    auto dot = Image::named(kImageNameStatusAvailable);
    ASSERT_NE(dot, nullptr);
    const Color centre = RenderImage(dot, {16, 16}, Color::rgb(1, 0, 0)).colorAt(8, 8);
    EXPECT_GT(centre.g, 0.6);
    EXPECT_LT(centre.r, 0.4);
}

TEST(UiDraw, BitmapsAreCopiedAndFillAViewOfTheirAspect) {
    // 2 x 1: a red pixel then a half-transparent blue one; rows padded to 12 bytes.
    std::vector<uint8_t> pixels = {255, 255, 0, 0, 128, 0, 0, 255, 9, 9, 9, 9};
    auto image = Image::fromARGB(pixels.data(), 2, 1, 12);
    ASSERT_NE(image, nullptr);
    std::fill(pixels.begin(), pixels.end(), 0);  // the image keeps its own copy
    const RenderedPixels drawn = RenderImage(image, {40, 20});
    EXPECT_EQ(drawn.colorAt(2, 10), Color::rgb(1, 0, 0));
    EXPECT_NEAR(drawn.colorAt(37, 10).a, 128 / 255.0, 0.01);
    EXPECT_NEAR(drawn.colorAt(37, 10).b, 1.0, 0.02);
    EXPECT_EQ(Image::fromARGB(nullptr, 2, 1, 8), nullptr);
    EXPECT_EQ(Image::fromARGB(pixels.data(), 0, 1, 8), nullptr);
    EXPECT_EQ(Image::fromARGB(pixels.data(), 2, 1, 7), nullptr) << "rows shorter than their pixels";
    EXPECT_EQ(Image::fromARGB(pixels.data(), 40000, 1, 160000), nullptr);
}

TEST(UiDraw, ButtonsPlaceTheirImageLeftOfTheTitleAndMeasureBoth) {
    Button button("Google Play");
    button.setBordered(false);
    button.setImagePosition(kImageLeft);
    button.setImageHugsTitle(true);
    button.setContentTintColor(Color::rgb(0, 0, 1));
    button.setAttributedTitle({"Google Play", Color::rgb(1, 0, 0), Font::systemFont(12, FontWeight::Medium)});
    const Size titleOnly = button.intrinsicContentSize();
    button.setImage(Image::systemSymbol("play.fill", 16));
    EXPECT_GT(button.intrinsicContentSize().width, titleOnly.width + 10);
    button.setFrame({0, 0, 160, 34});
    const RenderedPixels pixels = RenderViewToARGB(button);
    // Blue (the tinted image) lies left of every red (title) pixel, the pair centred.
    int firstBlue = pixels.width, lastBlue = -1, firstRed = pixels.width, lastRed = -1;
    ForEachPixel(pixels, [&](int x, int, Color c) {
        if (c.a >= 0.5 && c.b > 0.8 && c.r < 0.2) firstBlue = std::min(firstBlue, x), lastBlue = std::max(lastBlue, x);
        if (c.a >= 0.5 && c.r > 0.8 && c.b < 0.2) firstRed = std::min(firstRed, x), lastRed = std::max(lastRed, x);
    });
    ASSERT_GE(lastBlue, 0);
    ASSERT_GE(lastRed, 0);
    EXPECT_LT(lastBlue, firstRed);
    EXPECT_NEAR(firstBlue, pixels.width - 1 - lastRed, 4) << "the group is centred";
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
    EXPECT_GE(LowestInkRow(RenderLabel(broken, {0, 0, 200, 20})), 0);
}

TEST(UiDrawText, TailTruncationEndsInAnEllipsis) {
    const std::string text = "A phone with a rather long name that cannot fit";
    auto truncated = TextField::labelWithString(text);
    truncated->setLineBreakMode(LineBreakMode::TruncatingTail);
    const RenderedPixels drawn = RenderLabel(truncated, {0, 0, 90, 18});
    ASSERT_GE(LowestInkRow(drawn), 0);

    // The same picture as some prefix of the text followed by "…", drawn clipped.
    bool matched = false;
    for (size_t n = 1; n < text.size() && !matched; ++n) {
        auto manual = TextField::labelWithString(text.substr(0, n) + "\u2026");
        matched = RenderLabel(manual, {0, 0, 90, 18}).argb == drawn.argb;
    }
    EXPECT_TRUE(matched);
    // Clipping (no ellipsis) draws something else.
    EXPECT_NE(RenderLabel(TextField::labelWithString(text), {0, 0, 90, 18}).argb, drawn.argb);
}

TEST(UiDrawText, WrappingLabelsWrapToAtMostTheirMaximumLines) {
    auto hint = TextField::wrappingLabelWithString(
        "Download and run Quillo for Adobe After Effects on your iPhone or Android to connect.");
    const double lineHeight = TextField::labelWithString("x")->intrinsicContentSize().height;
    EXPECT_EQ(hint->intrinsicHeightForWidth(2000), lineHeight);
    EXPECT_GE(hint->intrinsicHeightForWidth(120), 5 * lineHeight) << "unlimited";

    hint->setMaximumNumberOfLines(3);
    // Heights are whole points, so n lines measure within a point or two of n single lines.
    EXPECT_NEAR(hint->intrinsicHeightForWidth(120), 3 * lineHeight, 2.5);
    EXPECT_NEAR(hint->intrinsicHeightForWidth(300), 2 * lineHeight, 2.5);
    // In a taller frame the text still stops after three lines.
    const RenderedPixels pixels = RenderLabel(hint, {0, 0, 120, 200});
    EXPECT_GT(LowestInkRow(pixels), hint->intrinsicHeightForWidth(300));
    EXPECT_LT(LowestInkRow(pixels), hint->intrinsicHeightForWidth(120));
}

}  // namespace
