#include "platform/ui/button.h"

#include <algorithm>

#include "platform/ui/graphics.h"

namespace qlo::ui {

namespace {

constexpr double kBezelPaddingX = 12;  // bordered buttons: title and image inside the bezel
constexpr double kBezelPaddingY = 2;
constexpr double kMinBorderedHeight = 21;
constexpr double kImageTitleGap = 4;
constexpr double kRadioMark = 14;      // the radio circle, and the room it takes with its gap
constexpr double kRadioMarkRoom = 18;
constexpr double kDisabledAlpha = 0.4;

double Aligned(TextAlignment alignment, double start, double room, double width) {
    switch (alignment) {
        case TextAlignment::Left: return start;
        case TextAlignment::Center: return start + (room - width) / 2;
        case TextAlignment::Right: return start + room - width;
    }
    return start;
}

// A size scaled down (never up), keeping its aspect, to fit a box.
Size FitDown(Size size, Size box) {
    if (size.width <= 0 || size.height <= 0) return {0, 0};
    const double scale = std::min({1.0, box.width / size.width, box.height / size.height});
    return {size.width * std::max(scale, 0.0), size.height * std::max(scale, 0.0)};
}

}  // namespace

Button::Button(std::string title, std::string keyEquivalent, ButtonType type, Rect frame)
    : View(frame, type == ButtonType::Radio ? "RadioButton" : "Button"),
      title_(std::move(title)),
      keyEquivalent_(std::move(keyEquivalent)),
      type_(type) {}

void Button::setTitle(std::string title) {
    title_ = std::move(title);
    titleForeground_.reset();
    titleFont_.reset();
    invalidateIntrinsicContentSize();
}

void Button::setAttributedTitle(AttributedString title) {
    title_ = std::move(title.text);
    titleForeground_ = title.foreground;
    titleFont_ = title.font;
    invalidateIntrinsicContentSize();
}

void Button::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    invalidateIntrinsicContentSize();
}

void Button::setFont(Font font) {
    font_ = font;
    invalidateIntrinsicContentSize();
}

void Button::setImagePosition(ImagePosition position) {
    imagePosition_ = position >= kNoImage && position <= kImageOverlaps ? position : kNoImage;
    invalidateIntrinsicContentSize();
}

void Button::performClick() {
    if (!enabled_) return;
    ++clicks_;
    if (type_ == ButtonType::Radio) on_ = true;
    sendAction();
}

void Button::sendAction() {
    if (!action_) return;
    // The action may drop the last owner of this button (closing its window): hold both.
    std::shared_ptr<View> keepAlive = weak_from_this().lock();
    Action action = action_;
    action(*this);
}

Size Button::intrinsicContentSize() const {
    const TextStyle style{titleFont_.value_or(font_), TextAlignment::Left, LineBreakMode::Clipping, 1};
    const Size title = showsTitle() ? MeasureText(title_, style) : Size{};
    const Size image = showsImage() ? image_->size() : Size{};
    const double gap = showsTitle() && showsImage() ? kImageTitleGap : 0;
    Size content = title;
    if (showsImage()) {
        switch (imagePosition_) {
            case kImageLeft:
            case kImageRight:
                content = {image.width + gap + title.width, std::max(image.height, title.height)};
                break;
            case kImageBelow:
            case kImageAbove:
                content = {std::max(image.width, title.width), image.height + gap + title.height};
                break;
            default:
                content = {std::max(image.width, title.width), std::max(image.height, title.height)};
                break;
        }
    }
    if (type_ == ButtonType::Radio) return {kRadioMarkRoom + content.width, std::max(kRadioMark + 2, content.height)};
    if (!bordered_) return content;
    return {content.width + 2 * kBezelPaddingX,
            std::max(kMinBorderedHeight, content.height + 2 * kBezelPaddingY)};
}

void Button::drawRect(GraphicsContext& context, const Rect&) {
    // Everything is placed top-down, then mirrored for an unflipped button.
    const Size size = context.size();
    const auto place = [&](const Rect& r) { return context.fromTopDown(r); };
    const double dim = enabled_ ? 1.0 : kDisabledAlpha;

    Rect box{0, 0, size.width, size.height};
    if (type_ == ButtonType::Radio) {
        const Rect mark{1, (size.height - kRadioMark) / 2, kRadioMark, kRadioMark};
        context.fillEllipse(place(mark), (on_ ? kSelectedContentBackgroundColor : kControlBackgroundColor).withAlphaMultiplied(dim));
        context.strokeEllipse(place({mark.x + 0.5, mark.y + 0.5, mark.width - 1, mark.height - 1}),
                              kControlBorderColor.withAlphaMultiplied(dim), 1);
        if (on_) {
            context.fillEllipse(place({mark.x + 4.5, mark.y + 4.5, 5, 5}), kControlBackgroundColor.withAlphaMultiplied(dim));
        }
        box = {kRadioMarkRoom, 0, size.width - kRadioMarkRoom, size.height};
    } else if (bordered_) {
        const double radius = bezelStyle_ == kBezelStyleRegularSquare ? 2 : 5;
        const Rect bezel{0.5, 0.5, size.width - 1, size.height - 1};
        context.fillRoundedRect(place(bezel), radius, radius, kControlBackgroundColor.withAlphaMultiplied(dim));
        context.strokeRoundedRect(place(bezel), radius, radius, kControlBorderColor.withAlphaMultiplied(dim), 1);
        box = {kBezelPaddingX, kBezelPaddingY, size.width - 2 * kBezelPaddingX, size.height - 2 * kBezelPaddingY};
    }
    if (box.width <= 0 || box.height <= 0) return;

    const TextStyle style{titleFont_.value_or(font_), TextAlignment::Left, LineBreakMode::TruncatingTail, 1};
    const bool hasTitle = showsTitle();
    const bool hasImage = showsImage();
    const Size titleSize = hasTitle ? MeasureText(title_, style) : Size{};
    const double gap = hasTitle && hasImage ? kImageTitleGap : 0;
    const TextAlignment alignment = type_ == ButtonType::Radio ? TextAlignment::Left : alignment_;

    Rect imageRect;
    Rect titleRect;
    // The title in an area: at most the area's width, aligned in it, the box's height.
    const auto titleIn = [&](double x, double width) {
        const double w = std::min(titleSize.width, std::max(0.0, width));
        return Rect{Aligned(alignment, x, width, w), box.y, w, box.height};
    };
    if (hasImage) {
        Size room = box.size();
        if (hasTitle && (imagePosition_ == kImageLeft || imagePosition_ == kImageRight)) {
            room.width = std::max(0.0, room.width - gap - std::min(titleSize.width, room.width / 2));
        } else if (hasTitle && (imagePosition_ == kImageAbove || imagePosition_ == kImageBelow)) {
            room.height = std::max(0.0, room.height - gap - titleSize.height);
        }
        const Size image = FitDown(image_->size(), room);
        const double centredX = box.x + (box.width - image.width) / 2;
        const double centredY = box.y + (box.height - image.height) / 2;
        imageRect = {centredX, centredY, image.width, image.height};
        if (hasTitle && (imagePosition_ == kImageLeft || imagePosition_ == kImageRight)) {
            const bool left = imagePosition_ == kImageLeft;
            const double titleRoom = box.width - image.width - gap;
            if (imageHugsTitle_) {
                const double titleW = std::min(titleSize.width, std::max(0.0, titleRoom));
                const double groupX = Aligned(alignment, box.x, box.width, image.width + gap + titleW);
                imageRect.x = left ? groupX : groupX + titleW + gap;
                titleRect = {left ? groupX + image.width + gap : groupX, box.y, titleW, box.height};
            } else {
                imageRect.x = left ? box.x : box.maxX() - image.width;
                titleRect = titleIn(left ? box.x + image.width + gap : box.x, titleRoom);
            }
        } else if (hasTitle && (imagePosition_ == kImageAbove || imagePosition_ == kImageBelow)) {
            const double top = box.y + (box.height - image.height - gap - titleSize.height) / 2;
            const bool above = imagePosition_ == kImageAbove;
            imageRect.y = above ? top : top + titleSize.height + gap;
            titleRect = titleIn(box.x, box.width);
            titleRect.y = above ? top + image.height + gap : top;
            titleRect.height = titleSize.height;
        } else if (hasTitle) {
            titleRect = titleIn(box.x, box.width);  // overlapping the centred image
        }
    } else if (hasTitle) {
        titleRect = titleIn(box.x, box.width);
    }

    if (hasImage) {
        std::optional<Color> tint = contentTint_;
        if (!enabled_) tint = tint.value_or(kLabelColor).withAlphaMultiplied(dim);
        context.drawImage(*image_, place(imageRect), tint);
    }
    if (hasTitle && titleRect.width > 0) {
        Color color = kLabelColor;
        if (titleForeground_) {
            color = *titleForeground_;
        } else if (contentTint_ && !bordered_) {
            color = *contentTint_;
        }
        // The measured width, plus a hair so rounding never truncates a title that fits.
        titleRect.width += 0.5;
        context.drawText(title_, place(titleRect), style, color.withAlphaMultiplied(dim),
                         TextVerticalPlacement::Center);
    }
}

std::string Button::describe() const {
    std::string text = View::describe() + " \"" + title_ + "\"";
    if (!keyEquivalent_.empty()) text += " key " + KeyEquivalentName(keyEquivalent_);
    if (type_ == ButtonType::Radio && on_) text += " on";
    if (!enabled_) text += " disabled";
    return text;
}

std::string KeyEquivalentName(const std::string& key) {
    if (key == "\r") return "return";
    if (key == "\x1b") return "escape";
    if (key == "\t") return "tab";
    if (key == " ") return "space";
    return "\"" + key + "\"";
}

}  // namespace qlo::ui
