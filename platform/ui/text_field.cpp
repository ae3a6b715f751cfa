#include "platform/ui/text_field.h"

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

constexpr double kEditableExtraHeight = 6;  // the bezel around an editable field's line

}  // namespace

TextField::TextField(std::string value, bool editable, Rect frame)
    : View(frame, editable ? "TextField" : "StaticText"),
      value_(std::move(value)),
      editable_(editable) {}

std::shared_ptr<TextField> TextField::labelWithString(std::string value) {
    return std::make_shared<TextField>(std::move(value), false);
}

std::shared_ptr<TextField> TextField::wrappingLabelWithString(std::string value) {
    auto label = std::make_shared<TextField>(std::move(value), false);
    label->setLineBreakMode(LineBreakMode::WordWrapping);
    label->setMaximumNumberOfLines(0);
    return label;
}

void TextField::setStringValue(std::string value) {
    if (value == value_) return;
    value_ = std::move(value);
    invalidateIntrinsicContentSize();
}

void TextField::setFont(Font font) {
    style_.font = font;
    invalidateIntrinsicContentSize();
}

void TextField::setLineBreakMode(LineBreakMode mode) {
    style_.lineBreakMode = mode;
    invalidateIntrinsicContentSize();
}

void TextField::setMaximumNumberOfLines(int lines) {
    style_.maximumNumberOfLines = lines < 0 ? 0 : lines;
    invalidateIntrinsicContentSize();
}

bool TextField::wrapsLines() const {
    switch (style_.lineBreakMode) {
        case LineBreakMode::WordWrapping:
        case LineBreakMode::CharWrapping: return style_.maximumNumberOfLines != 1;
        case LineBreakMode::Clipping: return false;
        default: return style_.maximumNumberOfLines > 1;  // truncating on the last of several
    }
}

TextStyle TextField::textStyle() const {
    TextStyle style = style_;
    // A field that does not wrap shows one line, whatever the text holds.
    if (!wrapsLines()) style.maximumNumberOfLines = 1;
    return style;
}

Size TextField::intrinsicContentSize() const {
    TextStyle oneLine = textStyle();
    oneLine.maximumNumberOfLines = 1;
    const Size text = MeasureText(value_, oneLine);
    return {text.width + 2 * horizontalInset(), text.height + (editable_ ? kEditableExtraHeight : 0)};
}

double TextField::intrinsicHeightForWidth(double width) const {
    if (!wrapsLines()) return kNoIntrinsicMetric;
    const double textWidth = width - 2 * horizontalInset();
    return MeasureText(value_, textStyle(), textWidth > 0 ? textWidth : 0).height;
}

void TextField::drawRect(GraphicsContext& context, const Rect&) {
    const Rect bounds = context.bounds();
    if (editable_) {
        context.fillRect(bounds, kControlBackgroundColor);
        context.strokeRect({bounds.x + 0.5, bounds.y + 0.5, bounds.width - 1, bounds.height - 1},
                           kControlBorderColor, 1);
    }
    const double inset = horizontalInset();
    const Rect textRect{inset, 0, bounds.width - 2 * inset, bounds.height};
    context.drawText(value_, textRect, textStyle(), textColor_,
                     editable_ ? TextVerticalPlacement::Center : TextVerticalPlacement::Top);
}

std::string TextField::describe() const {
    return View::describe() + " \"" + value_ + "\"";
}

}  // namespace qlo::ui
