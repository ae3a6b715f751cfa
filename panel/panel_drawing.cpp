#include "panel/panel_drawing.h"

#include "panel/panel_style.h"
#include "platform/ui/graphics.h"

using qlo::ui::Color;
using qlo::ui::GraphicsContext;
using qlo::ui::Rect;

Rect QLOBounds(const qlo::ui::View& view) {
    return Rect{0, 0, view.frame().width, view.frame().height};
}

void QLOPhoneRow::drawBackgroundInRect(GraphicsContext& context, const Rect&) {
    context.fillRect(QLOBounds(*this), Color::calibratedWhite(kQLORowWhite));
}

void QLOPhoneRow::drawSelectionInRect(GraphicsContext& context, const Rect&) {
    context.fillRect(QLOBounds(*this), Color::calibratedWhite(kQLOSelectedRowWhite));
}

QLOHeaderView::QLOHeaderView() { setFlipped(false); }

void QLOHeaderView::drawRect(GraphicsContext& context, const Rect&) {
    const Rect bounds = QLOBounds(*this);
    context.fillRect(bounds, Color::calibratedWhite(kQLOHeaderWhite));
    context.fillRect(Rect{0, 0, bounds.width, 1}, Color::calibratedWhite(kQLOLineWhite));
}

QLOStoreBadge::QLOStoreBadge(const Rect& frame) : qlo::ui::Button("", "", qlo::ui::ButtonType::Push, frame) {}

void QLOStoreBadge::drawRect(GraphicsContext& context, const Rect& dirty) {
    const Rect bounds = QLOBounds(*this);
    const Rect outline{bounds.x + 0.5, bounds.y + 0.5, bounds.width - 1, bounds.height - 1};
    context.fillRoundedRect(outline, 6, 6, Color::calibratedWhite(1.0, 0.06));
    context.strokeRoundedRect(outline, 6, 6, Color::calibratedWhite(1.0, 0.18), 1.0);
    qlo::ui::Button::drawRect(context, dirty);
}

void QLOStoreBadge::resetCursorRects() {
    addCursorRect(QLOBounds(*this), qlo::ui::Cursor::PointingHand);
}
