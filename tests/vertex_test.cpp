#include "geometry/vertex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "mesh_support.h"

namespace {

void expectAttributesZero(const Vertex& v) {
    EXPECT_EQ(v.tu, 0.0f);
    EXPECT_EQ(v.tv, 0.0f);
    EXPECT_NORMAL(v, 0.0f, 0.0f, 0.0f);
}

TEST(Vertex, DefaultIsBlackAtOriginOtherFormsAreWhite) {
    const Vertex black;
    expectAttributesZero(black);
    EXPECT_COLOUR(black, 0, 0, 0);
    EXPECT_POSITION(black, 0.0f, 0.0f, 0.0f);

    const Vertex cartesian(1, 2, 3);
    expectAttributesZero(cartesian);
    EXPECT_COLOUR(cartesian, 255, 255, 255);
    EXPECT_POSITION(cartesian, 1.0f, 2.0f, 3.0f);

    const Vertex polar(1, 0, 0, Polar::tag);
    expectAttributesZero(polar);
    EXPECT_COLOUR(polar, 255, 255, 255);
    EXPECT_POSITION(polar, 1.0f, 0.0f, 0.0f);
}

TEST(Vertex, PolarFormMeasuresElevationFromXzPlaneAndAzimuthFromXTowardsZ) {
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
    EXPECT_POSITION(target, 1.0f, 2.0f, 3.0f);
    const auto expectAttributesOfSource = [&] {
        EXPECT_EQ(target.tu, 0.25f);
        EXPECT_EQ(target.tv, 0.75f);
        EXPECT_NORMAL(target, 0.6f, 0.8f, -1.0f);
        EXPECT_COLOUR(target, 7, -8, 300);
    };
    expectAttributesOfSource();

    target.setPosition(-4, 5, -6);
    EXPECT_POSITION(target, -4.0f, 5.0f, -6.0f);
    expectAttributesOfSource();
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
