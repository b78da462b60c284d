#include "geometry/vertex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mesh_support.h"

namespace {

TEST(Vertex, PolarFormIsWhiteAndMeasuresElevationFromXzAndAzimuthFromXTowardsZ) {
    constexpr double pi = std::numbers::pi;
    const Vertex east(1, 0, 0, Polar::tag);
    EXPECT_POSITION(east, 1.0f, 0.0f, 0.0f);
    EXPECT_COLOUR(east, 255, 255, 255);
    // The angles are floats, so π/2 misses by 4.4e-8 and a zero component
    // lands within about 1e-7 of 0 per unit of radius; the rest is one
    // rounding from double to float.
    EXPECT_POSITION_NEAR(Vertex(2, float(pi / 2), 0, Polar::tag), 0.0, 2.0, 0.0, 2e-7);
    EXPECT_POSITION_NEAR(Vertex(1, 0, float(pi / 2), Polar::tag), 0.0, 0.0, 1.0, 1e-7);
    EXPECT_POSITION_NEAR(Vertex(2, float(pi / 6), float(pi / 3), Polar::tag), std::sqrt(3.0) / 2,
                         1.0, 1.5, 2e-7);
}

TEST(Vertex, AssignmentCarriesEveryFieldAndSetPositionOnlyThePosition) {
    Vertex source(1, 2, 3);
    EXPECT_COLOUR(source, 255, 255, 255);
    source.tu = 0.25f;
    source.tv = 0.75f;
    source.nx = 0.6f;
    source.ny = 0.8f;
    source.nz = -1.0f;
    source.green = -8;
    Vertex target;
    EXPECT_COLOUR(target, 0, 0, 0);
    target = source;
    EXPECT_POSITION(target, 1.0f, 2.0f, 3.0f);
    target.setPosition(-4, 5, -6);
    EXPECT_POSITION(target, -4.0f, 5.0f, -6.0f);
    EXPECT_EQ(target.tu + target.tv, 1.0f);
    EXPECT_NORMAL(target, 0.6f, 0.8f, -1.0f);
    EXPECT_COLOUR(target, 255, -8, 255);

    const VertexBase& base = Vertex(3, 4, 0);
    EXPECT_EQ(base.length(), 5.0f);
    EXPECT_EQ(base.getX() + base.getY() + base.aux1() + base.aux2(), 7.0f);
}

}  // namespace
