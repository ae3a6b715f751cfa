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

// Presses the first button (else radio button) whose title, lower-cased, equals the name
// lower-cased, or whose description, lower-cased, contains it. True when one was pressed.
bool qloPressButton(const std::string& name);

// The viewer's camera pop-ups (showing a standard 3-D view or one of the camera names), sorted
// from left to right; pop-ups without a readable position come last.
std::vector<qlo::ax::Element> qloFindViewerPopups(const std::vector<std::string>& cameraNames);

// The ordering qloFindViewerPopups uses: elements sorted by the x of their frames, smaller
// first; a frame whose x is not finite (no readable position) sorts after every other.
std::vector<qlo::ax::Element> qloSortByFrameX(const std::vector<qlo::ax::Element>& elements,
                                              const std::vector<qlo::ui::Rect>& frames);

// The standard 3-D view names a viewer pop-up may show.
bool qloIsStandardViewName(const std::string& name);
