// Finding and pressing the host's own interface elements through the accessibility API: a
// bounded breadth-first walk of the process's element tree, a search-and-press for a named button,
// and the viewer's camera pop-ups in left-to-right order. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ax/ax.h"
#include "platform/ui/geometry.h"

// Gets an element; returns true to end the walk.
using QLOAXVisitor = std::function<bool(const qlo::ax::Element&)>;

// Walks the application element and everything below it, level by level, visiting the elements
// whose role equals `role` (every element when role is null). At most `limit` elements are
// examined, the application element included. True when a visitor returned true.
bool qloAXWalk(const char* role, int64_t limit, const QLOAXVisitor& visitor);

// What became of a press: whether a matching element was found and, if so, what the host
// answered. True only when one was found and the host carried the press out.
struct QLOPressResult {
    bool found = false;
    qlo::ax::AXError error = qlo::ax::kAXErrorSuccess;
    explicit operator bool() const { return found && error == qlo::ax::kAXErrorSuccess; }
};

// Presses the first button (else radio button) whose title, lower-cased, equals the name
// lower-cased, or whose description, lower-cased, contains it. The first match decides: when
// the host refuses its press (a disabled control), no other element is tried.
QLOPressResult qloPressButton(const std::string& name);

// Closes the open menu of a pop-up, as the Escape key would; the pop-up keeps its selection.
// kAXErrorNoValue when its menu is not open.
qlo::ax::AXError qloCloseMenuOf(const qlo::ax::Element& popup);

// Why the host refused an accessibility call, in words, with the error's number.
std::string qloAXErrorText(qlo::ax::AXError error);

// The viewer's camera pop-ups (showing a standard 3-D view or one of the camera names), sorted
// from left to right; pop-ups without a readable position come last.
std::vector<qlo::ax::Element> qloFindViewerPopups(const std::vector<std::string>& cameraNames);

// The ordering qloFindViewerPopups uses: elements sorted by the x of their frames, smaller
// first; a frame whose x is not finite (no readable position) sorts after every other.
std::vector<qlo::ax::Element> qloSortByFrameX(const std::vector<qlo::ax::Element>& elements,
                                              const std::vector<qlo::ui::Rect>& frames);

// The standard 3-D view names a viewer pop-up may show.
bool qloIsStandardViewName(const std::string& name);
