#include "gloam/geometry/camera.h"

#include <cmath>

#include "gloam/geometry/mesh.h"
#include "gloam/geometry/rotation.h"

namespace gloam {

namespace {

constexpr double strafeTurn = 1.57;  // deliberately not pi/2
constexpr float focalLength = 1500.0f;

// distance · h(ax, ay), each increment formed in double and rounded to float.
Vec3 headingStep(double ax, double ay, float distance) {
    return {float(std::sin(ay) * distance), float(std::sin(ax) * distance),
            float(std::cos(ay) * (std::cos(ax) * distance))};
}

}  // namespace

void Camera::moveForward(float distance) {
    position += headingStep(rotation.x, rotation.y, distance);
}

void Camera::moveBackward(float distance) {
    position -= headingStep(rotation.x, rotation.y, distance);
}

void Camera::strafePositive(float distance) {
    position += headingStep(rotation.x, double(rotation.y) + strafeTurn, distance);
}

void Camera::strafeNegative(float distance) {
    position += headingStep(rotation.x, double(rotation.y) - strafeTurn, distance);
}

// The camera's position is added, not subtracted, and there is no screen
// centre, aspect ratio or near plane: the caller makes of x/z and y/z what it
// needs. Points at or behind z = 0 keep their rotated x and y.
void Mesh::projectToCamera(const Camera& camera) {
    const Rotation turn(camera.rotation);
    for (std::int32_t i = 0; i < vertCount; ++i) {
        Vertex& v = worldVerts[i];
        v.x += camera.x();
        v.y += camera.y();
        v.z += camera.z();
        turn.apply(v.x, v.y, v.z);
        if (v.z > 0.0f) {
            v.x = v.x / v.z * focalLength;
            v.y = v.y / v.z * focalLength;
        }
    }
}

}  // namespace gloam
