#include "gloam/meshio/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

TEST(MakeGrid, DemoFloorSpansMinus500To400WithNormalsDown) {
    const auto grid = makeGrid(10, 10, 100);
    ASSERT_EQ(grid->vertexCount(), 100);
    EXPECT_EQ(grid->triangleCount(), 162);
    for (int n = 0; n < 100; ++n) {
        const int k = n % 10, j = n / 10;
        const Vertex& v = grid->vertices()[n];
        EXPECT_POSITION(v, -500.0f + 100.0f * float(k), 0.0f, -500.0f + 100.0f * float(j));
        EXPECT_EQ(v.tu, float(k % 2));
        EXPECT_EQ(v.tv, float(j % 2));
        EXPECT_NORMAL(v, 0.0f, -1.0f, 0.0f);  // exact: every face normal is exactly (0, -1, 0)
        EXPECT_COLOUR(v, 0, 0, 0);
    }
}

TEST(MakeGrid, TooFewOrTooManyVerticesGiveNoTriangles) {
    const auto strip = makeGrid(1, 5, 10);
    EXPECT_EQ(strip->vertexCount(), 5);
    EXPECT_EQ(strip->triangleCount(), 0);
    EXPECT_POSITION(strip->vertices()[4], 0.0f, 0.0f, 20.0f);

    // Nothing to build, and no negative or overflowing count reaches an allocation.
    for (const auto& [columns, rows] :
         {std::pair{0, 5}, {5, 0}, {-3, 4}, {-3, -4}, {65536, 65536}, {2, INT32_MAX}}) {
        const auto empty = makeGrid(columns, rows, 1);
        EXPECT_EQ(empty->vertexCount() + empty->triangleCount(), 0) << columns << " x " << rows;
    }
}

}  // namespace
