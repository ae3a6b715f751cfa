#include "platform/ui/scroll_view.h"

#include <algorithm>

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

constexpr double kLegacyScrollerWidth = 15;
constexpr double kMinKnobLength = 18;
constexpr Color kScrollerTrack{0.96, 0.96, 0.96, 1};
constexpr Color kScrollerKnob{0, 0, 0, 0.35};

}  // namespace

ScrollView::ScrollView(Rect frame) : View(frame, "ScrollArea"), clip_(std::make_shared<ClipView>()) {
    addSubview(clip_);
    tile();
}

void ScrollView::setDocumentView(std::shared_ptr<View> view) {
    if (document_) document_->removeFromSuperview();
    document_ = std::move(view);
    scrollY_ = 0;
    if (document_) clip_->addSubview(document_);
    tile();
}

bool ScrollView::showsLegacyScroller() const {
    return hasVerticalScroller_ && scrollerStyle_ == kScrollerStyleLegacy;
}

Rect ScrollView::contentRect() const {
    const double border = borderType_ == kNoBorder ? 0 : 1;
    Rect r{border, border, frame().width - 2 * border, frame().height - 2 * border};
    if (showsLegacyScroller()) r.width -= kLegacyScrollerWidth;
    r.width = std::max(0.0, r.width);
    r.height = std::max(0.0, r.height);
    return r;
}

double ScrollView::maxScrollY() const {
    if (!document_) return 0;
    return std::max(0.0, document_->frame().height - contentRect().height);
}

void ScrollView::scrollToY(double y) {
    scrollY_ = std::clamp(y, 0.0, maxScrollY());
    tile();
}

void ScrollView::tile() {
    // The clip view is flipped: the document's top sits at the top of the visible area.
    const Rect content = contentRect();
    clip_->setFrame(isFlipped() ? content
                                : Rect{content.x, frame().height - content.maxY(), content.width, content.height});
    if (!document_) return;
    const Rect doc = document_->frame();
    scrollY_ = std::clamp(scrollY_, 0.0, std::max(0.0, doc.height - content.height));
    const Rect placed{0, -scrollY_, content.width, doc.height};
    if (!(placed == doc)) document_->setFrame(placed);
}

void ScrollView::drawRect(GraphicsContext& context, const Rect&) {
    const Rect content = contentRect();
    if (drawsBackground_) context.fillRect(context.fromTopDown(content), backgroundColor_);
    if (borderType_ != kNoBorder) {
        const Rect b = context.bounds();
        context.strokeRect({0.5, 0.5, b.width - 1, b.height - 1}, Color::calibratedWhite(0, 0.3), 1);
    }
    if (showsLegacyScroller()) {
        const Rect track{content.maxX(), content.y, kLegacyScrollerWidth, content.height};
        context.fillRect(context.fromTopDown(track), kScrollerTrack);
        const double docHeight = document_ ? document_->frame().height : 0;
        if (docHeight > content.height && content.height > 0) {
            const double length = std::max(kMinKnobLength, content.height * content.height / docHeight);
            const double y = content.y + (content.height - length) * (scrollY_ / maxScrollY());
            const Rect knob{track.x + 3, y, kLegacyScrollerWidth - 6, length};
            context.fillRoundedRect(context.fromTopDown(knob), 4.5, 4.5, kScrollerKnob);
        }
    }
}

}  // namespace qlo::ui
