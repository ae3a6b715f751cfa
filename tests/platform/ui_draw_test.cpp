// Drawing: hidden views, layers and clipping; the system symbols and the status image draw for
// real, template images take their tint, bitmaps are copied and fill a view of their aspect; a
// button draws its image with its title. Labels: measured sizes (also of text that is not
// UTF-8) and wrapping to at most N lines.
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
    const std::pair<int, Color> expected[] = {{5, white}, {30, white}, {47, black}, {52, white}};
    for (auto [x, colour] : expected) EXPECT_EQ(pixels.colorAt(x, 7), colour) << x;
}

TEST(UiDraw, EverySymbolLoadsAndDrawsAShapeUnknownNamesGiveNull) {
    for (const char* name :
         {"eye.fill", "eye.slash.fill", "iphone", "apple.logo", "play.fill", "rectangle.split.2x1"}) {
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
}

TEST(UiDraw, TemplateImagesTakeTheTintOtherImagesKeepTheirColours) {
    const Color red = Color::rgb(1, 0, 0);
    const Color c = RenderImage(Image::systemSymbol("play.fill", 16), {20, 20}, red).colorAt(9, 10);
    EXPECT_TRUE(c.a > 0.98 && c.r > 0.98 && c.g < 0.02 && c.b < 0.02);
    auto dot = Image::named(kImageNameStatusAvailable);
    ASSERT_NE(dot, nullptr);
    const Color centre = RenderImage(dot, {16, 16}, red).colorAt(8, 8);
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
    EXPECT_EQ(Image::fromARGB(nullptr, 2, 1, 8), nullptr);
    EXPECT_EQ(Image::fromARGB(pixels.data(), 2, 1, 7), nullptr) << "rows shorter than their pixels";
}

TEST(UiDraw, ButtonsMeasureAndDrawTheirImageWithTheTitle) {
    Button button("Google Play");
    button.setBordered(false);
    button.setImagePosition(kImageLeft);
    button.setContentTintColor(Color::rgb(0, 0, 1));
    const Size titleOnly = button.intrinsicContentSize();
    button.setImage(Image::systemSymbol("play.fill", 16));
    EXPECT_GT(button.intrinsicContentSize().width, titleOnly.width + 10);
    button.setFrame({0, 0, 160, 34});
    const RenderedPixels pixels = RenderViewToARGB(button);
    int blue = 0;  // the tinted image's pixels
    ForEachPixel(pixels, [&](int, int, Color c) { blue += c.a >= 0.5 && c.b > 0.8 && c.r < 0.2; });
    EXPECT_GT(blue, 20);
}

// Pango refuses invalid text whole; a name that is not UTF-8 must still show (with U+FFFD in
// place), measured longer than its valid start.
TEST(UiDrawText, LabelsAreMeasuredFromTheirTextAndDrawnEvenWhenNotUtf8) {
    auto shortLabel = TextField::labelWithString("Phone");
    auto broken = TextField::labelWithString(std::string("Phone \xff\xfe B\0C", 13));
    EXPECT_GT(shortLabel->intrinsicContentSize().width, 20);
    EXPECT_GT(broken->intrinsicContentSize().width, shortLabel->intrinsicContentSize().width);
    EXPECT_EQ(shortLabel->intrinsicHeightForWidth(10), -1) << "one line whatever the width";
    EXPECT_GE(LowestInkRow(RenderLabel(broken, {0, 0, 200, 20})), 0);
}

TEST(UiDrawText, WrappingLabelsWrapToAtMostTheirMaximumLines) {
    auto hint = TextField::wrappingLabelWithString(
        "Download and run Quillo for Adobe After Effects on your iPhone or Android to connect.");
    const double lineHeight = TextField::labelWithString("x")->intrinsicContentSize().height;
    EXPECT_GE(hint->intrinsicHeightForWidth(120), 5 * lineHeight) << "unlimited";

    hint->setMaximumNumberOfLines(3);
    // Heights are whole points, so n lines measure within a point or two of n single lines.
    EXPECT_NEAR(hint->intrinsicHeightForWidth(120), 3 * lineHeight, 2.5);
    // In a taller frame the text still stops after three lines.
    const int lowest = LowestInkRow(RenderLabel(hint, {0, 0, 120, 200}));
    EXPECT_GT(lowest, 2 * lineHeight);
    EXPECT_LT(lowest, hint->intrinsicHeightForWidth(120));
}

}  // namespace
