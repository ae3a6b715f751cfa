// Drawing: hidden views, layers and clipping; the system symbols draw for real; labels are
// measured (also text that is not UTF-8) and drawn. Tints, bitmaps and wrapping are cosmetic
// and left to the eye.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/image_view.h"
#include "platform/ui/png_renderer.h"
#include "platform/ui/text_field.h"

namespace {

using namespace qlo::ui;

RenderedPixels RenderImage(std::shared_ptr<Image> image, Size size) {
    auto view = std::make_shared<ImageView>(Rect{0, 0, size.width, size.height});
    view->setImage(std::move(image));
    return RenderViewToARGB(*view);
}

std::shared_ptr<View> Backdrop(Rect frame, Color color) {
    auto view = std::make_shared<View>(frame);
    view->setWantsLayer(true);
    view->setLayerBackgroundColor(color);
    return view;
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
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) lowest = pixels.colorAt(x, y).r < 0.5 ? y : lowest;
    }
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


}  // namespace
