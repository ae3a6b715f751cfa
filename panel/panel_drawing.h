// The panel's three drawing classes: the phone row (its own background and selection fill in
// place of the system highlight), the header strip with its bottom line, and the store badge
// (a rounded outline behind the button's title and image, and a pointing-hand cursor).
#pragma once

#include "platform/ui/button.h"
#include "platform/ui/table_row_view.h"
#include "platform/ui/view.h"

class QLOPhoneRow : public qlo::ui::TableRowView {
public:
    void drawBackgroundInRect(qlo::ui::GraphicsContext& context, const qlo::ui::Rect& dirty) override;
    void drawSelectionInRect(qlo::ui::GraphicsContext& context, const qlo::ui::Rect& dirty) override;
};

// Drawn in unflipped coordinates, so its bottom line is the rectangle at y 0.
class QLOHeaderView : public qlo::ui::View {
public:
    QLOHeaderView();
    void drawRect(qlo::ui::GraphicsContext& context, const qlo::ui::Rect& dirty) override;
};

class QLOStoreBadge : public qlo::ui::Button {
public:
    explicit QLOStoreBadge(const qlo::ui::Rect& frame);
    void drawRect(qlo::ui::GraphicsContext& context, const qlo::ui::Rect& dirty) override;
    void resetCursorRects() override;
};

// The view's own bounds: its size at the origin.
qlo::ui::Rect QLOBounds(const qlo::ui::View& view);
