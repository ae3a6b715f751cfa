// Views with a fixed content size for the layout tests, standing in for labels and buttons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "platform/ui/view.h"

namespace qlo::ui::testing {

// Content of a fixed size (a one-line label, a button).
class FixedView : public View {
public:
    FixedView(double width, double height) : size_{width, height} {}
    Size intrinsicContentSize() const override { return size_; }

private:
    Size size_;
};

// Text as wide as textWidth on one line, wrapping into lines of 14 points, at most three.
class WrappingView : public View {
public:
    explicit WrappingView(double textWidth) : textWidth_(textWidth) {}
    Size intrinsicContentSize() const override { return {textWidth_, 14}; }
    double intrinsicHeightForWidth(double width) const override {
        const double lines = width <= 0 ? 3 : std::min(3.0, std::ceil(textWidth_ / width));
        return 14 * lines;
    }

private:
    double textWidth_;
};

template <typename T = View, typename... Args>
std::shared_ptr<T> Constrained(View& parent, const std::string& id, Args... args) {
    auto view = std::make_shared<T>(args...);
    view->setIdentifier(id);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent.addSubview(view);
    return view;
}

inline void ExpectFrame(const View& view, Rect expected) {
    const Rect& f = view.frame();
    const double eps = 1e-6;
    EXPECT_NEAR(f.x, expected.x, eps) << view.describe();
    EXPECT_NEAR(f.y, expected.y, eps) << view.describe();
    EXPECT_NEAR(f.width, expected.width, eps) << view.describe();
    EXPECT_NEAR(f.height, expected.height, eps) << view.describe();
}

}  // namespace qlo::ui::testing
