// The system symbols and standard images the toolkit draws itself, as Cairo paths.
#pragma once

#include <string>

#include "platform/ui/image.h"

namespace qlo::ui::symbols {

struct Symbol {
    const char* name;
    // Size at a point size of 1.
    double width;
    double height;
    Image::Shape shape;
};

// The symbol of that name; null when there is none.
const Symbol* Find(const std::string& name);
// Every symbol, for listings and tests.
const Symbol* begin();
const Symbol* end();

// The green dot of kImageNameStatusAvailable.
void DrawStatusAvailable(cairo_t* cr, double width, double height, double weight);

}  // namespace qlo::ui::symbols
