#include "gloam/geometry/vertex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/support/mesh_support.h"

using namespace gloam;

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

}  // namespace
