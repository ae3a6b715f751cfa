// A text field: one line of text the user can edit, or a label when it is not editable. Labels
// draw their text in a font and colour, aligned, wrapped or truncated per the line break mode;
// their intrinsic size is measured from the text.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/view.h"

namespace qlo::ui {

class TextField : public View {
public:
    // An editable field has the role "TextField", a label the role "StaticText".
    explicit TextField(std::string value = "", bool editable = true, Rect frame = {});

    // A label on one line, clipped at its width.
    static std::shared_ptr<TextField> labelWithString(std::string value);
    // A label whose words wrap onto as many lines as its width needs.
    static std::shared_ptr<TextField> wrappingLabelWithString(std::string value);

    const std::string& stringValue() const { return value_; }
    void setStringValue(std::string value);
    bool isEditable() const { return editable_; }

    const Font& font() const { return style_.font; }
    void setFont(Font font);
    const Color& textColor() const { return textColor_; }
    void setTextColor(Color color) { textColor_ = color; }
    TextAlignment alignment() const { return style_.alignment; }
    void setAlignment(TextAlignment alignment) { style_.alignment = alignment; }
    LineBreakMode lineBreakMode() const { return style_.lineBreakMode; }
    void setLineBreakMode(LineBreakMode mode);
    // 0: no limit.
    int maximumNumberOfLines() const { return style_.maximumNumberOfLines; }
    void setMaximumNumberOfLines(int lines);

    // Whether the text's height depends on the width (it wraps onto several lines).
    bool wrapsLines() const;
    // The text on one line, plus the field's margins.
    Size intrinsicContentSize() const override;
    // Wrapping labels: the height of the text laid out at that width; otherwise
    // kNoIntrinsicMetric.
    double intrinsicHeightForWidth(double width) const override;

    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;
    std::string describe() const override;

private:
    TextStyle textStyle() const;
    // Left and right margins of the text inside the frame; editable fields also have a bezel.
    double horizontalInset() const { return editable_ ? 4 : 2; }

    std::string value_;
    bool editable_;
    TextStyle style_{Font{}, TextAlignment::Left, LineBreakMode::Clipping, 1};
    Color textColor_ = kLabelColor;
};

}  // namespace qlo::ui
