// Mouse cursors, and the rectangles of a view in which one is shown.
#pragma once

#include "platform/ui/geometry.h"

namespace qlo::ui {

enum class Cursor { Arrow, PointingHand, IBeam };

struct CursorRect {
    Rect rect;  // in the coordinates of the view that added it
    Cursor cursor = Cursor::Arrow;
};

// The cursor's name, for dumps and logs ("arrow", "pointingHand", "IBeam").
const char* CursorName(Cursor cursor);

}  // namespace qlo::ui
