// A scroll view: shows part of its document view through a clip view. The document keeps the
// clip view's width and its own height; scrolling moves it up by the vertical offset, and the
// clip view cuts off whatever lies outside.
#pragma once

#include <memory>

#include "platform/ui/color.h"
#include "platform/ui/view.h"

namespace qlo::ui {

// The scroll view's inner view that clips the document (role "ClipView").
class ClipView : public View {
public:
    ClipView() : View({}, "ClipView") {}
};

enum BorderType : int { kNoBorder = 0, kLineBorder = 1, kBezelBorder = 2, kGrooveBorder = 3 };
enum ScrollerStyle : int { kScrollerStyleLegacy = 0, kScrollerStyleOverlay = 1 };

class ScrollView : public View {
public:
    explicit ScrollView(Rect frame = {});

    const std::shared_ptr<View>& documentView() const { return document_; }
    // Puts the view in the clip view (replacing the previous document) and places it.
    void setDocumentView(std::shared_ptr<View> view);
    ClipView& contentView() const { return *clip_; }

    bool hasVerticalScroller() const { return hasVerticalScroller_; }
    void setHasVerticalScroller(bool has) { hasVerticalScroller_ = has; }
    BorderType borderType() const { return borderType_; }
    void setBorderType(BorderType type) { borderType_ = type; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws) { drawsBackground_ = draws; }
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(Color color) { backgroundColor_ = color; }
    ScrollerStyle scrollerStyle() const { return scrollerStyle_; }
    void setScrollerStyle(ScrollerStyle style) { scrollerStyle_ = style; }

    // How far the document is scrolled up; scrollToY clamps to 0...maxScrollY().
    double scrollY() const { return scrollY_; }
    void scrollToY(double y);
    double maxScrollY() const;
    // The area the document is seen through: the bounds less the border and a legacy scroller.
    Rect contentRect() const;

    // Places the clip view and the document (its width, the offset). Runs before drawing.
    void tile();
    void viewWillDraw() override { tile(); }
    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    bool showsLegacyScroller() const;

    std::shared_ptr<ClipView> clip_;
    std::shared_ptr<View> document_;
    bool hasVerticalScroller_ = false;
    BorderType borderType_ = kNoBorder;
    bool drawsBackground_ = true;
    Color backgroundColor_ = kControlBackgroundColor;
    ScrollerStyle scrollerStyle_ = kScrollerStyleOverlay;
    double scrollY_ = 0;
};

}  // namespace qlo::ui
