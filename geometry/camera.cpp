#include "geometry/camera.h"

#include <cmath>

#include "geometry/mesh.h"
#include "geometry/rotation.h"

namespace {
constexpr double strafeTurn = 1.57;  // deliberately not pi/2
constexpr float focalLength = 1500.0f;
}  // namespace

void Camera::moveBy(float dx, float dy, float dz) {
    position.x += dx;
    position.y += dy;
    position.z += dz;
}

void Camera::rotateBy(float ax, float ay, float az) {
    rotation.x += ax;
    rotation.y += ay;
    rotation.z += az;
}

namespace {

// distance · h(ax, ay), each increment formed in double and rounded to float.
Vec3 headingStep(double ax, double ay, float distance) {
    return {float(std::sin(ay) * distance), float(std::sin(ax) * distance),
            float(std::cos(ay) * (std::cos(ax) * distance))};
}

}  // namespace

void Camera::moveForward(float distance) {
    const Vec3 step = headingStep(rotation.x, rotation.y, distance);
    moveBy(step.x, step.y, step.z);
}

void Camera::moveBackward(float distance) {
    const Vec3 step = headingStep(rotation.x, rotation.y, distance);
    position.x -= step.x;
    position.y -= step.y;
    position.z -= step.z;
}

void Camera::strafePositive(float distance) {
    const Vec3 step = headingStep(rotation.x, double(rotation.y) + strafeTurn, distance);
    moveBy(step.x, step.y, step.z);
}

void Camera::strafeNegative(float distance) {
    const Vec3 step = headingStep(rotation.x, double(rotation.y) - strafeTurn, distance);
    moveBy(step.x, step.y, step.z);
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
