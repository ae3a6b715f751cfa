// The phones the Quillo panel lists, read from its view tree the way an assistive tool would:
// each phone is a row holding a name label and an eye button whose tool tip says whether the
// phone may control its camera. The host knows nothing else of the plug-in's panel.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qlo::ui {
class View;
}

namespace qlo::hostsim {

class Workspace;

// The eye button's tool tips.
inline constexpr const char* kEyeAllowedToolTip = "Phone may control the camera — click to revoke";
inline constexpr const char* kEyeBlockedToolTip = "Phone control is blocked — click to grant";

struct PanelPhoneRow {
    std::string name;
    bool allowed = false;
};

// Every eye button below `root` (not hidden inside it), in breadth-first order, with the first
// label (a non-editable text field) of its row: the button's superview. A row without a label
// has an empty name.
std::vector<PanelPhoneRow> ReadPanelPhoneRows(ui::View& root);

// The rows of the first created plug-in panel whose container is a view; nothing when no panel
// has a view tree to read.
std::optional<std::vector<PanelPhoneRow>> ReadPanelPhoneRows(const Workspace& workspace);

}  // namespace qlo::hostsim
