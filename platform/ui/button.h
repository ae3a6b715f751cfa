// Buttons: a title, a key equivalent (the key that presses the button while its window is in
// front: "\r" for the default button, "\x1b" for Cancel), an enabled flag, and an action that a
// click sends. Radio buttons carry an on/off state and turn on when clicked.
//
// A button draws its bezel when bordered, then its image and title laid out per the image
// position and alignment; a template image (and the title of a borderless button) takes the
// content tint.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/image.h"
#include "platform/ui/view.h"

namespace qlo::ui {

enum class ButtonType { Push, Radio };

// Where a button's image goes relative to its title (AppKit's cell image positions).
enum ImagePosition : int {
    kNoImage = 0,
    kImageOnly = 1,
    kImageLeft = 2,
    kImageRight = 3,
    kImageBelow = 4,
    kImageAbove = 5,
    kImageOverlaps = 6,
};

// Bezel styles (AppKit's values) the toolkit draws: rounded push buttons, square buttons.
enum BezelStyle : int {
    kBezelStyleRounded = 1,
    kBezelStyleRegularSquare = 2,
};

// A title with its own colour and font.
struct AttributedString {
    std::string text;
    std::optional<Color> foreground;
    std::optional<Font> font;
};

class Button : public View {
public:
    using Action = std::function<void(Button&)>;

    explicit Button(std::string title, std::string keyEquivalent = "",
                    ButtonType type = ButtonType::Push, Rect frame = {});

    const std::string& title() const { return title_; }
    // A plain title drops the attributes of an attributed one.
    void setTitle(std::string title);
    // The title with its attributes (none unless an attributed title was set).
    AttributedString attributedTitle() const { return {title_, titleForeground_, titleFont_}; }
    // Sets the title's text and its attributes.
    void setAttributedTitle(AttributedString title);
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    ButtonType type() const { return type_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    // Radio buttons: whether this one is selected.
    bool isOn() const { return on_; }
    void setOn(bool on) { on_ = on; }

    // ---- appearance -----------------------------------------------------------------------
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);
    // A value outside ImagePosition counts as kNoImage.
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position);
    const std::optional<Color>& contentTintColor() const { return contentTint_; }
    void setContentTintColor(std::optional<Color> color) { contentTint_ = color; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool bordered) { bordered_ = bordered; }
    BezelStyle bezelStyle() const { return bezelStyle_; }
    void setBezelStyle(BezelStyle style) { bezelStyle_ = style; }
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    const Font& font() const { return font_; }
    void setFont(Font font);
    // With the image left or right of the title: whether the two stay together (aligned as
    // one) or the image sits at its edge of the button.
    bool imageHugsTitle() const { return imageHugsTitle_; }
    void setImageHugsTitle(bool hugs) { imageHugsTitle_ = hugs; }

    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // Clicks the button as the user would: nothing when it is disabled; a radio button turns
    // on; then the action is sent. The button (and the action) stay alive until the action
    // returns, even when the action closes the window that holds the button.
    virtual void performClick();
    // How many clicks were performed while enabled.
    int clickCount() const { return clicks_; }

    // Measured from the title (in its font) and the image, plus the bezel's margins.
    Size intrinsicContentSize() const override;
    // The bezel when bordered, then image and title. Subclasses that draw their own background
    // call this for the standard content on top.
    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;

    std::string describe() const override;

protected:
    void sendAction();

private:
    bool showsImage() const { return image_ != nullptr && imagePosition_ != kNoImage; }
    bool showsTitle() const { return !title_.empty() && imagePosition_ != kImageOnly; }

    std::string title_;
    std::optional<Color> titleForeground_;
    std::optional<Font> titleFont_;
    std::string keyEquivalent_;
    ButtonType type_;
    bool enabled_ = true;
    bool on_ = false;
    int clicks_ = 0;
    Action action_;
    std::shared_ptr<Image> image_;
    ImagePosition imagePosition_ = kNoImage;
    std::optional<Color> contentTint_;
    long tag_ = 0;
    bool bordered_ = true;
    BezelStyle bezelStyle_ = kBezelStyleRounded;
    TextAlignment alignment_ = TextAlignment::Center;
    Font font_;
    bool imageHugsTitle_ = false;
};

// The key equivalent text made readable: "\r" -> "return", "\x1b" -> "escape".
std::string KeyEquivalentName(const std::string& key);

}  // namespace qlo::ui
