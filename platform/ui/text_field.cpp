#include "platform/ui/text_field.h"

namespace qlo::ui {

TextField::TextField(std::string value, bool editable, Rect frame)
    : View(frame, editable ? "TextField" : "StaticText"),
      value_(std::move(value)),
      editable_(editable) {}

std::string TextField::describe() const {
    return View::describe() + " \"" + value_ + "\"";
}

}  // namespace qlo::ui
