// An image view: shows an image scaled to fit its bounds, a template image in its tint.
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/color.h"
#include "platform/ui/image.h"
#include "platform/ui/view.h"

namespace qlo::ui {

// How the image is fitted to the view (AppKit's values).
enum class ImageScaling {
    ProportionallyDown = 0,     // keep the aspect; shrink to fit, never enlarge
    AxesIndependently = 1,      // stretch to the bounds
    None = 2,                   // natural size, centred
    ProportionallyUpOrDown = 3, // keep the aspect; as large as fits
};

class ImageView : public View {
public:
    explicit ImageView(Rect frame = {});

    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);
    const std::optional<Color>& contentTintColor() const { return contentTint_; }
    void setContentTintColor(std::optional<Color> color) { contentTint_ = color; }
    // Default ProportionallyUpOrDown: the image as large as fits, so a bitmap of the view's
    // aspect fills it exactly.
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling scaling) { scaling_ = scaling; }

    // Where the image is drawn in the bounds (top-down; centred); empty without an image.
    Rect imageRect() const;

    // The image's size; none without an image.
    Size intrinsicContentSize() const override;
    void drawRect(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    std::shared_ptr<Image> image_;
    std::optional<Color> contentTint_;
    ImageScaling scaling_ = ImageScaling::ProportionallyUpOrDown;
};

}  // namespace qlo::ui
