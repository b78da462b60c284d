#include "gloam/geometry/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

// Each increment is a double-precision sine or cosine rounded to float once,
// then added to a float position: within an ulp or two of 10.
constexpr double moveTolerance = 2e-6;

TEST(Camera, MovesAlongAHeadingThatIsNotNormalised) {
    Camera camera;  // at the origin, heading along +z
    camera.moveForward(10);
    camera.moveBackward(4);
    EXPECT_POSITION(camera.position, 0.0f, 0.0f, 6.0f);

    // With both angles non-zero the step is longer than the distance; z plays no part.
    Camera both;
    both.setRotation(0.5f, 0.5f, 2.0f);
    both.moveForward(10);
    EXPECT_NEAR(std::hypot(both.x(), both.y(), both.z()),
                10 * std::sqrt(1 + std::pow(std::sin(0.5), 4)), 1e-5);
}

TEST(Camera, StrafesTurnShortOfARightAngleAndBothAdd) {
    Camera left, right, pitched;
    left.strafeNegative(10);
    right.strafePositive(10);
    // cos(1.57) · 10 ≈ 0.008 of forward motion remains in both.
    EXPECT_POSITION_NEAR(left.position, -10 * std::sin(1.57), 0.0, 10 * std::cos(1.57),
                         moveTolerance);
    EXPECT_POSITION_NEAR(right.position, 10 * std::sin(1.57), 0.0, 10 * std::cos(1.57),
                         moveTolerance);

    pitched.setRotation(0.25f, 0, 0);
    pitched.rotateBy(0.25f, 0, 0);
    pitched.strafePositive(10);
    EXPECT_NEAR(pitched.y(), 10 * std::sin(0.5), moveTolerance);
}

TEST(CameraProjection, AddsTheOffsetAndDividesByDepthOnlyInFrontOfTheCamera) {
    const auto mesh =
        meshOf({blackAt(100, 50, 500), blackAt(7, 8, 0), blackAt(7, 8, -10), blackAt(20, -60, 0)});
    const Vertex* v = mesh->transformedVertices();
    Camera camera;
    mesh->projectToCamera(camera);
    EXPECT_POSITION(v[0], 300.0f, 150.0f, 500.0f);
    EXPECT_POSITION(v[1], 7.0f, 8.0f, 0.0f);
    EXPECT_POSITION(v[2], 7.0f, 8.0f, -10.0f);

    // The camera's position is added, not subtracted; a second call works on
    // the projected values again.
    mesh->update();
    camera.setPosition(5, 0, 250);
    camera.moveBy(5, 0, 250);
    mesh->projectToCamera(camera);
    EXPECT_POSITION(v[3], 90.0f, -180.0f, 500.0f);
    mesh->projectToCamera(camera);
    EXPECT_POSITION(v[3], 150.0f, -270.0f, 1000.0f);
}

}  // namespace
