// A row of a table: draws its background, then, when selected, the selection; its cells are
// its subviews.
#pragma once

#include <optional>

#include "platform/ui/color.h"
#include "platform/ui/view.h"

namespace qlo::ui {

// Selection highlight styles (AppKit's values).
enum SelectionHighlightStyle : int { kHighlightNone = -1, kHighlightRegular = 0, kHighlightSourceList = 1 };

class TableRowView : public View {
public:
    TableRowView();

    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    // Set by the table: the alternating row colour, if any.
    const std::optional<Color>& backgroundColor() const { return background_; }
    void setBackgroundColor(std::optional<Color> color) { background_ = color; }
    // Set by the table: with kHighlightNone no selection is drawn.
    SelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(SelectionHighlightStyle style) { highlightStyle_ = style; }

    // Default: fills the rectangle with the background colour when there is one.
    virtual void drawBackgroundInRect(GraphicsContext& context, const Rect& dirtyRect);
    // Default: the system's blue highlight over the rectangle.
    virtual void drawSelectionInRect(GraphicsContext& context, const Rect& dirtyRect);
    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    bool selected_ = false;
    std::optional<Color> background_;
    SelectionHighlightStyle highlightStyle_ = kHighlightRegular;
};

}  // namespace qlo::ui
