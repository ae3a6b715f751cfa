// Points, sizes and rectangles of the view toolkit. Coordinates grow to the right and downward
// (the origin of a frame is its top-left corner), as the accessibility API reports positions.
#pragma once

namespace qlo::ui {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    // Whether the point lies inside (the right and bottom edges are outside).
    bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < maxX() && p.y < maxY(); }
    // The same rectangle moved by an offset.
    Rect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }
    bool operator==(const Rect&) const = default;
};

}  // namespace qlo::ui
