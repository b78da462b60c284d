#include "gloam/meshio/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

// The triangles in list order; their texture coordinates alternate between
// the two halves of the unit square, starting with (0,0)-(1,0)-(1,1) or with
// (0,0)-(1,1)-(0,1).
void expectTriangles(Mesh& mesh, const std::vector<Triangle>& want, bool lowerHalfFirst) {
    const TriangleUV lower{{{0, 0}, {1, 0}, {1, 1}}}, upper{{{0, 0}, {1, 1}, {0, 1}}};
    ASSERT_EQ(mesh.triangleCount(), int(want.size()));
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        EXPECT_EQ(*mesh.triangles()[t], want[std::size_t(t)]) << "triangle " << t;
        const TriangleUV& uv = (t % 2 == 0) == lowerHalfFirst ? lower : upper;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ((*mesh.triangleUVs()[t])[k].tu, uv[k].tu) << t;
            EXPECT_EQ((*mesh.triangleUVs()[t])[k].tv, uv[k].tv) << t;
        }
    }
}

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

TEST(MakeQuad, SpansTheXyPlaneFacingPlusZ) {
    const auto quad = makeQuad(4, 2);
    ASSERT_EQ(quad->vertexCount(), 4);
    const float corners[4][2] = {{-2, -1}, {2, -1}, {2, 1}, {-2, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_POSITION(quad->vertices()[i], corners[i][0], corners[i][1], 0.0f);
        EXPECT_NORMAL(quad->vertices()[i], 0.0f, 0.0f, 1.0f);
    }
    expectTriangles(*quad, {{0, 1, 2}, {0, 2, 3}}, true);
}

TEST(MakeBox, HasEightSharedCornersAndTwelveTrianglesWithInwardNormals) {
    const auto box = makeBox(2, 2, 2);
    ASSERT_EQ(box->vertexCount(), 8);
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_POSITION(box->vertices()[i], corners[i][0], corners[i][1], corners[i][2]);
    }
    expectTriangles(*box,
                    {{0, 1, 2},
                     {0, 2, 3},
                     {1, 5, 6},
                     {1, 6, 2},
                     {4, 0, 3},
                     {4, 3, 7},
                     {4, 5, 1},
                     {4, 1, 0},
                     {3, 2, 6},
                     {3, 6, 7},
                     {5, 4, 7},
                     {5, 7, 6}},
                    true);

    const double r6 = std::sqrt(6.0);
    const double expected[8][3] = {
        {1 / r6, 1 / r6, 2 / r6},       {-2 / 3.0, 2 / 3.0, 1 / 3.0}, {-1 / r6, -1 / r6, 2 / r6},
        {2 / 3.0, -2 / 3.0, 1 / 3.0},   {2 / 3.0, 2 / 3.0, -1 / 3.0}, {-1 / r6, 1 / r6, -2 / r6},
        {-2 / 3.0, -2 / 3.0, -1 / 3.0}, {1 / r6, -1 / r6, -2 / r6},
    };
    // The face normals are exact unit axes and their sums small integers; the
    // length and the divisions round once each, so every component is within
    // 2 ulp (< 1.2e-7 below 1) of the exact value, for any size of box.
    for (const Vec3 size : {Vec3{2, 2, 2}, Vec3{150, 150, 150}, Vec3{35, 0.5f, 1000}}) {
        const auto sized = makeBox(size.x, size.y, size.z);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(testing::Message() << "corner " << i << " of " << size.y);
            EXPECT_FIELDS3(sized->vertices()[i], nx, ny, nz, expected[i][0], expected[i][1],
                           expected[i][2], 1.2e-7);
        }
    }
}

}  // namespace
