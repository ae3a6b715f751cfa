#include "hostsim/app/panel_rows.h"

#include "hostsim/app/workspace.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view.h"

namespace qlo::hostsim {

namespace {

// The first label in the row, depth first in subview order.
const ui::TextField* FirstLabel(const ui::View& view) {
    for (const auto& child : view.subviews()) {
        const auto* field = dynamic_cast<const ui::TextField*>(child.get());
        if (field != nullptr && !field->isEditable() && !field->isHidden()) return field;
        if (const ui::TextField* below = FirstLabel(*child)) return below;
    }
    return nullptr;
}

// Hidden itself or inside a hidden view below `root`. Whether the panel itself shows (its tab
// may be behind another) does not matter: its rows are still its phones.
bool HiddenBelow(const ui::View& view, const ui::View& root) {
    for (const ui::View* v = &view; v != nullptr && v != &root; v = v->superview()) {
        if (v->isHidden()) return true;
    }
    return false;
}

}  // namespace

std::vector<PanelPhoneRow> ReadPanelPhoneRows(ui::View& root) {
    std::vector<PanelPhoneRow> rows;
    root.visitBreadthFirst([&rows, &root](ui::View& view) {
        const std::string& tip = view.toolTip();
        const bool allowed = tip == kEyeAllowedToolTip;
        if ((!allowed && tip != kEyeBlockedToolTip) || HiddenBelow(view, root)) return false;
        PanelPhoneRow row;
        row.allowed = allowed;
        if (const ui::View* rowView = view.superview()) {
            if (const ui::TextField* label = FirstLabel(*rowView)) row.name = label->stringValue();
        }
        rows.push_back(std::move(row));
        return false;
    });
    return rows;
}

std::optional<std::vector<PanelPhoneRow>> ReadPanelPhoneRows(const Workspace& workspace) {
    for (const std::string& name : workspace.panelNames()) {
        const auto info = workspace.panel(name);
        if (!info || !info->created) continue;
        if (ui::View* root = ui::ViewFromHandle(info->container)) return ReadPanelPhoneRows(*root);
    }
    return std::nullopt;
}

}  // namespace qlo::hostsim
