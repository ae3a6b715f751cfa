// Opening a web address in the user's browser: the address goes to the desktop's opener
// (`xdg-open`, when it is on PATH and a display is there: DISPLAY or WAYLAND_DISPLAY), started
// detached, without a shell. When it cannot be handed on, one log line names the address so
// the user can open it by hand.
#pragma once

#include <functional>
#include <string>

namespace qlo::ui {

// Whether the address was handed on. Only absolute addresses with a scheme ("https://...") and
// without blanks or control characters are handed on; others are logged and refused.
bool OpenURL(const std::string& url);

// Replaces the desktop's opener (tests); an empty function restores it. The opener returns
// whether it took the address.
void SetURLOpenerForTesting(std::function<bool(const std::string&)> opener);

}  // namespace qlo::ui
