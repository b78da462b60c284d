#include "geometry/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/mesh.h"
#include "mesh_support.h"

namespace {

// The movement increments are double-precision sines and cosines rounded to
// float once, then added to a float position: within an ulp or two of 10.
constexpr float moveTolerance = 2e-6f;

void expectMoved(const Camera& camera, double x, double y, double z) {
    EXPECT_NEAR(camera.x(), x, moveTolerance);
    EXPECT_NEAR(camera.y(), y, moveTolerance);
    EXPECT_NEAR(camera.z(), z, moveTolerance);
}

TEST(Camera, StartsAtTheOriginHeadingAlongPlusZ) {
    Camera camera;
    EXPECT_EQ(camera.x(), 0.0f);
    EXPECT_EQ(camera.rotationY(), 0.0f);
    camera.moveForward(10);
    EXPECT_EQ(camera.x(), 0.0f);
    EXPECT_EQ(camera.y(), 0.0f);
    EXPECT_EQ(camera.z(), 10.0f);
    camera.moveBackward(4);
    EXPECT_EQ(camera.z(), 6.0f);
}

TEST(Camera, MovesAlongAHeadingThatIsNotNormalised) {
    Camera turned;
    turned.setRotation(0, 1.57f, 0);
    turned.moveForward(10);
    expectMoved(turned, 10 * std::sin(double(1.57f)), 0, 10 * std::cos(double(1.57f)));
    EXPECT_NEAR(turned.z(), 0.008, 1e-4);

    Camera pitched;
    pitched.setRotation(0.5f, 0, 0);
    pitched.moveForward(10);
    expectMoved(pitched, 0, 10 * std::sin(0.5), 10 * std::cos(0.5));

    // With both angles non-zero the step is longer than the distance.
    Camera both;
    both.setRotation(0.5f, 0.5f, 2.0f);
    both.moveForward(10);
    const double length = std::hypot(both.x(), both.y(), both.z());
    EXPECT_NEAR(length, 10 * std::sqrt(1 + std::pow(std::sin(0.5), 4)), 1e-5);

    both.moveBackward(10);
    expectMoved(both, 0, 0, 0);
}

TEST(Camera, StrafesTurnShortOfARightAngleAndBothAdd) {
    Camera left, right;
    left.strafeNegative(10);
    right.strafePositive(10);
    // cos(1.57) · 10 ≈ 0.008 of forward motion remains in both.
    expectMoved(left, -10 * std::sin(1.57), 0, 10 * std::cos(1.57));
    expectMoved(right, 10 * std::sin(1.57), 0, 10 * std::cos(1.57));

    Camera pitched;
    pitched.setRotation(0.5f, 0, 0);
    pitched.strafePositive(10);
    EXPECT_NEAR(pitched.y(), 10 * std::sin(0.5), moveTolerance);
}

TEST(Camera, SettersAssignAndAddersAdd) {
    Camera camera;
    camera.setPosition(1, 2, 3);
    camera.moveBy(1, 1, -1);
    EXPECT_EQ(camera.x(), 2.0f);
    EXPECT_EQ(camera.y(), 3.0f);
    EXPECT_EQ(camera.z(), 2.0f);
    camera.setRotation(0.5f, 0.25f, 1);
    camera.rotateBy(0.5f, 0.5f, -1);
    EXPECT_EQ(camera.rotationX(), 1.0f);
    EXPECT_EQ(camera.rotationY(), 0.75f);
    EXPECT_EQ(camera.rotationZ(), 0.0f);
}

TEST(CameraProjection, DividesByDepthOnlyInFrontOfTheCamera) {
    const auto mesh =
        meshOf({blackAt(100, 50, 500), blackAt(7, 8, 0), blackAt(7, 8, -10), blackAt(20, -60, 0)});
    mesh->transformedVertices()[0].red = 42;
    Camera camera;
    mesh->projectToCamera(camera);
    const Vertex* v = mesh->transformedVertices();
    EXPECT_POSITION(v[0], 300.0f, 150.0f, 500.0f);
    EXPECT_EQ(v[0].red, 42);
    EXPECT_POSITION(v[1], 7.0f, 8.0f, 0.0f);
    EXPECT_POSITION(v[2], 7.0f, 8.0f, -10.0f);

    // The camera's position is added to the vertices, not subtracted; a second
    // call works on the projected values again.
    mesh->update();
    camera.setPosition(10, 0, 500);
    mesh->projectToCamera(camera);
    EXPECT_POSITION(v[3], 90.0f, -180.0f, 500.0f);
    mesh->projectToCamera(camera);
    EXPECT_POSITION(v[3], 150.0f, -270.0f, 1000.0f);
}

TEST(CameraProjection, TurnsPointsExactlyAsTheMeshPipelineDoes) {
    // Points that end behind the camera keep their rotated x and y, so the
    // two paths can be compared bit for bit.
    const Vec3 angles{0.7f, -2.1f, 1.3f};
    const auto turnedByMesh = meshOf({blackAt(-3, 4, -5), blackAt(-120, 7, 300)});
    turnedByMesh->setRotation(angles.x, angles.y, angles.z);
    turnedByMesh->update();

    const auto turnedByCamera = meshOf({blackAt(-3, 4, -5), blackAt(-120, 7, 300)});
    turnedByCamera->update();
    Camera camera;
    camera.setRotation(angles.x, angles.y, angles.z);
    turnedByCamera->projectToCamera(camera);

    for (int i = 0; i < 2; ++i) {
        const Vertex& expected = turnedByMesh->transformedVertices()[i];
        ASSERT_LE(expected.z, 0.0f);
        EXPECT_POSITION(turnedByCamera->transformedVertices()[i], expected.x, expected.y,
                        expected.z);
    }
}

}  // namespace
