#pragma once

#include "gloam/geometry/vec3.h"

namespace gloam {

// A free-flying viewpoint kept in software. The demo views its scene through
// the renderer's OpenGL camera instead; this one serves callers that want
// projected coordinates on the CPU (Mesh::projectToCamera).
//
// Movement follows the heading h(ax, ay) = (sin ay, sin ax, cos ax · cos ay)
// of the x and y angles. It is not normalised: its length is 1 only when
// sin ax or sin ay is 0. The z angle plays no part in movement.
class Camera {
public:
    void moveBy(float dx, float dy, float dz) { position += {dx, dy, dz}; }
    void setPosition(float px, float py, float pz) { position = {px, py, pz}; }
    void rotateBy(float ax, float ay, float az) { rotation += {ax, ay, az}; }
    void setRotation(float ax, float ay, float az) { rotation = {ax, ay, az}; }

    void moveForward(float distance);
    void moveBackward(float distance);
    // Sideways along the heading turned by ±1.57 about y. 1.57 is short of a
    // right angle, so both strafes keep a little of the heading, and both
    // move in y when the x angle is not 0.
    void strafePositive(float distance);
    void strafeNegative(float distance);

    float x() const { return position.x; }
    float y() const { return position.y; }
    float z() const { return position.z; }
    float rotationX() const { return rotation.x; }
    float rotationY() const { return rotation.y; }
    float rotationZ() const { return rotation.z; }

    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 rotation{0.0f, 0.0f, 0.0f};
};

}  // namespace gloam
