#pragma once

#include <cmath>
#include <cstdint>

namespace gloam {

// Three floats x, y, z: a position, a set of rotation angles, scale factors or
// a direction.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vec3& operator+=(Vec3& a, const Vec3& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}

inline Vec3& operator-=(Vec3& a, const Vec3& b) {
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}

// The engine's one way of measuring a vector: squares summed in float, the
// square root taken in double and rounded to float.
inline float vectorLength(float x, float y, float z) {
    return float(std::sqrt(double(x * x + y * y + z * z)));
}

// Float to int32 by truncation toward zero. Where the value does not fit the
// result saturates, and NaN gives 0, instead of the undefined conversion.
inline std::int32_t truncateToInt(float f) {
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f >= -2147483648.0f) return std::int32_t(f);
    return std::isnan(f) ? 0 : INT32_MIN;
}

}  // namespace gloam
