// Small vector and matrix types for the renderer: 3-vectors, 3 x 3 matrices and the rotations
// of the host's 3-D space (x right, y down, z away from the viewer; angles in degrees).
#pragma once

#include <array>

namespace qlo::hostsim::render {

struct Vec2 {
    double x = 0, y = 0;
};

struct Vec3 {
    double x = 0, y = 0, z = 0;

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec3 cross(const Vec3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double length() const;
};

// Row-major: m[row][column]. A matrix times a column vector.
struct Mat3 {
    std::array<std::array<double, 3>, 3> m{};

    static Mat3 Identity() { return Mat3{{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}}; }
    // The matrix whose columns are a, b, c.
    static Mat3 FromColumns(const Vec3& a, const Vec3& b, const Vec3& c) {
        return Mat3{{{{a.x, b.x, c.x}, {a.y, b.y, c.y}, {a.z, b.z, c.z}}}};
    }
    Vec3 column(int c) const { return {m[0][c], m[1][c], m[2][c]}; }

    Vec3 operator*(const Vec3& v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Mat3 operator*(const Mat3& o) const;
    Mat3 transposed() const;
    double determinant() const;
    // The inverse; false (and *out untouched) when the matrix is singular or nearly so
    // (|determinant| below `epsilon` times the product of the column lengths).
    bool inverse(Mat3* out, double epsilon = 1e-12) const;
};

// Right-handed rotations about the axes of the host's space by `degrees`:
//   RotationX turns +y towards +z (a positive angle tips the top of a layer towards the viewer),
//   RotationY turns +z towards +x (a positive angle pans a camera to the right),
//   RotationZ turns +x towards +y (a positive angle turns a layer clockwise on screen).
Mat3 RotationX(double degrees);
Mat3 RotationY(double degrees);
Mat3 RotationZ(double degrees);
// X first, then Y, then Z: RotationZ(z) * RotationY(y) * RotationX(x).
Mat3 RotationXYZ(const Vec3& degrees);

}  // namespace qlo::hostsim::render
