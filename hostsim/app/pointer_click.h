// A mouse click at a point of a window's content, as the user makes it: the front-most visible
// control under the point receives it. A button (or pop-up) is clicked; a point on a table row
// selects that row. Used by the console's `click X Y`, so that a user at a terminal can press
// what the window shows (an eye button of a plug-in's panel, a layout button, a badge).
#pragma once

#include <string>

#include "platform/ui/geometry.h"

namespace qlo::ui {
class Window;
}

namespace qlo::hostsim {

// Clicks at `point` (window-content coordinates, top-left origin). Returns what was clicked,
// e.g. "button \"2 Views\"" or "row 1 of a table", or empty when nothing there takes clicks.
std::string ClickAt(ui::Window& window, ui::Point point);

}  // namespace qlo::hostsim
