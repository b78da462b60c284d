#include "geometry/vertex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

void expectAttributesZero(const Vertex& v) {
    EXPECT_EQ(v.tu, 0.0f);
    EXPECT_EQ(v.tv, 0.0f);
    EXPECT_EQ(v.nx, 0.0f);
    EXPECT_EQ(v.ny, 0.0f);
    EXPECT_EQ(v.nz, 0.0f);
}

TEST(Vertex, DefaultIsBlackAtOriginOtherFormsAreWhite) {
    const Vertex black;
    expectAttributesZero(black);
    EXPECT_EQ(black.red, 0);
    EXPECT_EQ(black.green, 0);
    EXPECT_EQ(black.blue, 0);
    EXPECT_EQ(black.x, 0.0f);
    EXPECT_EQ(black.y, 0.0f);
    EXPECT_EQ(black.z, 0.0f);

    const Vertex cartesian(1, 2, 3);
    expectAttributesZero(cartesian);
    EXPECT_EQ(cartesian.red, 255);
    EXPECT_EQ(cartesian.green, 255);
    EXPECT_EQ(cartesian.blue, 255);
    EXPECT_EQ(cartesian.x, 1.0f);
    EXPECT_EQ(cartesian.y, 2.0f);
    EXPECT_EQ(cartesian.z, 3.0f);

    const Vertex polar(1, 0, 0, Polar::tag);
    expectAttributesZero(polar);
    EXPECT_EQ(polar.red, 255);
    EXPECT_EQ(polar.green, 255);
    EXPECT_EQ(polar.blue, 255);
}

TEST(Vertex, PolarFormMeasuresElevationFromXzPlaneAndAzimuthFromXTowardsZ) {
    const Vertex east(1, 0, 0, Polar::tag);
    EXPECT_EQ(east.x, 1.0f);
    EXPECT_EQ(east.y, 0.0f);
    EXPECT_EQ(east.z, 0.0f);

    // π/2 as a float is off by 4.4e-8, so the zero components come out near
    // 1e-7 times the radius, not at 0.
    const float quarter = float(std::numbers::pi / 2);
    const Vertex up(2, quarter, 0, Polar::tag);
    EXPECT_NEAR(up.x, 0.0f, 2e-7);
    EXPECT_EQ(up.y, 2.0f);
    EXPECT_EQ(up.z, 0.0f);

    const Vertex south(1, 0, quarter, Polar::tag);
    EXPECT_NEAR(south.x, 0.0f, 1e-7);
    EXPECT_EQ(south.y, 0.0f);
    EXPECT_EQ(south.z, 1.0f);

    // Radius 2 at 30° elevation and 60° azimuth: (√3/2, 1, 3/2). The products
    // are formed in double and rounded once, so the result is within an ulp.
    const Vertex slanted(2, float(std::numbers::pi / 6), float(std::numbers::pi / 3), Polar::tag);
    EXPECT_NEAR(slanted.x, std::sqrt(3.0) / 2, 2e-7);
    EXPECT_NEAR(slanted.y, 1.0, 2e-7);
    EXPECT_NEAR(slanted.z, 1.5, 2e-7);
}

TEST(Vertex, VirtualOperationsThroughTheBase) {
    const Vertex v(3, 4, 0);
    const VertexBase& base = v;
    EXPECT_EQ(base.getX(), 3.0f);
    EXPECT_EQ(base.getY(), 4.0f);
    EXPECT_EQ(base.getZ(), 0.0f);
    EXPECT_EQ(base.length(), 5.0f);
    EXPECT_EQ(Vertex().length(), 0.0f);

    const Vertex far(-7e10f, 8, 9);
    const VertexBase& farBase = far;
    EXPECT_EQ(farBase.aux1(), 0.0f);
    EXPECT_EQ(farBase.aux2(), 0.0f);
}

TEST(Vertex, AssignmentCarriesEveryFieldAndSetPositionOnlyThePosition) {
    Vertex source(1, 2, 3);
    source.tu = 0.25f;
    source.tv = 0.75f;
    source.nx = 0.6f;
    source.ny = 0.8f;
    source.nz = -1.0f;
    source.red = 7;
    source.green = -8;
    source.blue = 300;

    Vertex target;
    target = source;
    EXPECT_EQ(target.tu, 0.25f);
    EXPECT_EQ(target.tv, 0.75f);
    EXPECT_EQ(target.nx, 0.6f);
    EXPECT_EQ(target.ny, 0.8f);
    EXPECT_EQ(target.nz, -1.0f);
    EXPECT_EQ(target.red, 7);
    EXPECT_EQ(target.green, -8);
    EXPECT_EQ(target.blue, 300);
    EXPECT_EQ(target.x, 1.0f);
    EXPECT_EQ(target.y, 2.0f);
    EXPECT_EQ(target.z, 3.0f);

    target.setPosition(-4, 5, -6);
    EXPECT_EQ(target.x, -4.0f);
    EXPECT_EQ(target.y, 5.0f);
    EXPECT_EQ(target.z, -6.0f);
    EXPECT_EQ(target.tu, 0.25f);
    EXPECT_EQ(target.tv, 0.75f);
    EXPECT_EQ(target.nx, 0.6f);
    EXPECT_EQ(target.ny, 0.8f);
    EXPECT_EQ(target.nz, -1.0f);
    EXPECT_EQ(target.red, 7);
    EXPECT_EQ(target.green, -8);
    EXPECT_EQ(target.blue, 300);
}

TEST(TriangleUV, FreshBlockHoldsThreeZeroPairs) {
    // Default-initialised, as a block allocated on its own is.
    const auto uv = std::unique_ptr<TriangleUV>(new TriangleUV);
    for (const TexCoord& corner : *uv) {
        EXPECT_EQ(corner.tu, 0.0f);
        EXPECT_EQ(corner.tv, 0.0f);
    }
}

}  // namespace
