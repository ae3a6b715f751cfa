#include "platform/ui/image_view.h"

#include <algorithm>

#include "platform/ui/graphics.h"

namespace qlo::ui {

ImageView::ImageView(Rect frame) : View(frame, "Image") {}

void ImageView::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    invalidateIntrinsicContentSize();
}

Rect ImageView::imageRect() const {
    const Size bounds = frame().size();
    if (!image_) return {};
    const Size natural = image_->size();
    if (natural.width <= 0 || natural.height <= 0) return {};
    Size drawn = natural;
    const double fit = std::min(bounds.width / natural.width, bounds.height / natural.height);
    switch (scaling_) {
        case ImageScaling::ProportionallyDown:
            if (fit < 1) drawn = {natural.width * fit, natural.height * fit};
            break;
        case ImageScaling::ProportionallyUpOrDown: drawn = {natural.width * fit, natural.height * fit}; break;
        case ImageScaling::AxesIndependently: drawn = bounds; break;
        case ImageScaling::None: break;
    }
    return {(bounds.width - drawn.width) / 2, (bounds.height - drawn.height) / 2, drawn.width, drawn.height};
}

Size ImageView::intrinsicContentSize() const {
    if (!image_) return {kNoIntrinsicMetric, kNoIntrinsicMetric};
    return image_->size();
}

void ImageView::drawRect(GraphicsContext& context, const Rect&) {
    if (!image_) return;
    // Centred, so the rectangle is the same flipped or not.
    context.drawImage(*image_, imageRect(), contentTint_);
}

}  // namespace qlo::ui
