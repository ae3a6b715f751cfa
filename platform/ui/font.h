// Fonts and the text settings that go with them: alignment, how lines break and truncate.
#pragma once

namespace qlo::ui {

enum class FontWeight { Regular, Medium, Semibold, Bold };

// The system font at a size in points (one point is one pixel in the renderer).
struct Font {
    double size = 13;
    FontWeight weight = FontWeight::Regular;

    static Font systemFont(double size, FontWeight weight = FontWeight::Regular) { return {size, weight}; }
    bool operator==(const Font&) const = default;
};

// The system's standard font size for controls and labels.
inline constexpr double kSystemFontSize = 13;

enum class TextAlignment { Left, Center, Right };

// How text that does not fit its width is laid out (AppKit's values).
enum class LineBreakMode {
    WordWrapping = 0,
    CharWrapping = 1,
    Clipping = 2,
    TruncatingHead = 3,
    TruncatingTail = 4,
    TruncatingMiddle = 5,
};

// Everything text drawing and measuring needs besides the text.
struct TextStyle {
    Font font;
    TextAlignment alignment = TextAlignment::Left;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;
    // 0: as many lines as the text needs. Truncating modes lay out one line when 0.
    int maximumNumberOfLines = 0;
};

}  // namespace qlo::ui
