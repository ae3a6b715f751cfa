#include "hostsim/app/pointer_click.h"

#include <memory>

#include "platform/ui/button.h"
#include "platform/ui/table_row_view.h"
#include "platform/ui/table_view.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace qlo::hostsim {

namespace {

// The front-most visible view under the point: later subviews are drawn over earlier ones, and
// a subview over its superview.
ui::View* HitTest(ui::View& view, ui::Point point) {
    if (view.isHidden() || !view.frameInWindow().contains(point)) return nullptr;
    const auto& children = view.subviews();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (ui::View* hit = HitTest(**it, point)) return hit;
    }
    return &view;
}

}  // namespace

std::string ClickAt(ui::Window& window, ui::Point point) {
    window.contentView().layoutSubtreeIfNeeded();
    ui::View* hit = HitTest(window.contentView(), point);
    for (ui::View* v = hit; v != nullptr; v = v->superview()) {
        if (auto* button = dynamic_cast<ui::Button*>(v)) {
            // Held while the click runs: its action may rebuild the views that hold the button.
            const std::shared_ptr<ui::View> keep = button->shared_from_this();
            const std::string title = button->title().empty() ? button->toolTip() : button->title();
            if (!button->isEnabled()) return "";
            button->performClick();
            return "button \"" + title + "\"";
        }
        if (auto* row = dynamic_cast<ui::TableRowView*>(v)) {
            for (ui::View* up = row->superview(); up != nullptr; up = up->superview()) {
                auto* table = dynamic_cast<ui::TableView*>(up);
                if (table == nullptr) continue;
                for (long i = 0; i < table->numberOfRows(); ++i) {
                    if (table->rowViewAtRow(i) != row) continue;
                    const std::shared_ptr<ui::View> keep = table->shared_from_this();
                    table->clickRow(i);
                    return "row " + std::to_string(i) + " of a table";
                }
            }
        }
    }
    return "";
}

}  // namespace qlo::hostsim
