#include "hostsim/render/geometry.h"

#include <cmath>
#include <numbers>

namespace qlo::hostsim::render {

double Vec3::length() const { return std::sqrt(dot(*this)); }

Mat3 Mat3::operator*(const Mat3& o) const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
}

Mat3 Mat3::transposed() const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
    return r;
}

double Mat3::determinant() const {
    return column(0).dot(column(1).cross(column(2)));
}

bool Mat3::inverse(Mat3* out, double epsilon) const {
    const Vec3 a = column(0), b = column(1), c = column(2);
    const double det = a.dot(b.cross(c));
    const double scale = a.length() * b.length() * c.length();
    if (!std::isfinite(det) || std::fabs(det) <= epsilon * scale || scale == 0) return false;
    // The rows of the inverse are the cross products of the columns, over the determinant.
    const Vec3 r0 = b.cross(c) * (1 / det), r1 = c.cross(a) * (1 / det), r2 = a.cross(b) * (1 / det);
    *out = Mat3{{{{r0.x, r0.y, r0.z}, {r1.x, r1.y, r1.z}, {r2.x, r2.y, r2.z}}}};
    return true;
}

namespace {
void SinCos(double degrees, double* s, double* c) {
    const double r = degrees * std::numbers::pi / 180.0;
    *s = std::sin(r);
    *c = std::cos(r);
}
}  // namespace

Mat3 RotationX(double degrees) {
    double s, c;
    SinCos(degrees, &s, &c);
    return Mat3{{{{1, 0, 0}, {0, c, -s}, {0, s, c}}}};
}

Mat3 RotationY(double degrees) {
    double s, c;
    SinCos(degrees, &s, &c);
    return Mat3{{{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}}};
}

Mat3 RotationZ(double degrees) {
    double s, c;
    SinCos(degrees, &s, &c);
    return Mat3{{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}}};
}

Mat3 RotationXYZ(const Vec3& degrees) {
    return RotationZ(degrees.z) * RotationY(degrees.y) * RotationX(degrees.x);
}

}  // namespace qlo::hostsim::render
