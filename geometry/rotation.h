#pragma once

#include <cmath>

#include "geometry/vec3.h"

// The rotation Rz(c)·Ry(b)·Rx(a) of the angles (a, b, c), shared by the mesh
// pipeline and the camera so both turn points the same way to the bit. Sines
// and cosines are taken once, in double precision, from the float angles;
// each of the three steps works in double and stores its result as float
// before the next step reads it.
class Rotation {
public:
    explicit Rotation(const Vec3& angles)
        : cosX(std::cos(double(angles.x))),
          sinX(std::sin(double(angles.x))),
          cosY(std::cos(double(angles.y))),
          sinY(std::sin(double(angles.y))),
          cosZ(std::cos(double(angles.z))),
          sinZ(std::sin(double(angles.z))) {}

    void apply(float& x, float& y, float& z) const {
        const float y1 = float(y * cosX - z * sinX);  // about x
        const float z1 = float(y * sinX + z * cosX);
        const float x2 = float(x * cosY + z1 * sinY);  // about y
        const float z2 = float(z1 * cosY - x * sinY);
        const float x3 = float(x2 * cosZ - y1 * sinZ);  // about z
        const float y3 = float(x2 * sinZ + y1 * cosZ);
        x = x3;
        y = y3;
        z = z2;
    }

private:
    double cosX, sinX, cosY, sinY, cosZ, sinZ;
};
