// Colours of the view toolkit: red, green, blue and alpha, each 0 to 1 (not premultiplied).
#pragma once

namespace qlo::ui {

struct Color {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    // A grey: the same value on the three channels.
    static Color calibratedWhite(double white, double alpha = 1.0) { return {white, white, white, alpha}; }
    static Color rgb(double r, double g, double b, double a = 1.0) { return {r, g, b, a}; }
    // The same colour with its alpha multiplied.
    Color withAlphaMultiplied(double factor) const { return {r, g, b, a * factor}; }

    bool operator==(const Color&) const = default;
};

// The colours the toolkit uses where a view was given none.
inline constexpr Color kLabelColor{0, 0, 0, 0.85};
inline constexpr Color kControlBackgroundColor{1, 1, 1, 1};
inline constexpr Color kControlBorderColor{0, 0, 0, 0.25};
inline constexpr Color kSelectedContentBackgroundColor{0.0, 0.39, 0.88, 1};

}  // namespace qlo::ui
