#include "platform/ui/table_row_view.h"

#include "platform/ui/graphics.h"

namespace qlo::ui {

TableRowView::TableRowView() : View({}, "Row") {}

void TableRowView::drawBackgroundInRect(GraphicsContext& context, const Rect& dirtyRect) {
    if (background_) context.fillRect(dirtyRect, *background_);
}

void TableRowView::drawSelectionInRect(GraphicsContext& context, const Rect& dirtyRect) {
    context.fillRect(dirtyRect, kSelectedContentBackgroundColor);
}

void TableRowView::drawRect(GraphicsContext& context, const Rect&) {
    const Rect bounds = context.bounds();
    drawBackgroundInRect(context, bounds);
    if (selected_ && highlightStyle_ != kHighlightNone) drawSelectionInRect(context, bounds);
}

}  // namespace qlo::ui
