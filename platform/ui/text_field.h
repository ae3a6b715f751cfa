// A text field: one line of text the user can edit, or a label when it is not editable.
#pragma once

#include <string>

#include "platform/ui/view.h"

namespace qlo::ui {

class TextField : public View {
public:
    // An editable field has the role "TextField", a label the role "StaticText".
    explicit TextField(std::string value = "", bool editable = true, Rect frame = {});

    const std::string& stringValue() const { return value_; }
    void setStringValue(std::string value) { value_ = std::move(value); }
    bool isEditable() const { return editable_; }

    std::string describe() const override;

private:
    std::string value_;
    bool editable_;
};

}  // namespace qlo::ui
