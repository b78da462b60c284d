#include "meshio/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh_support.h"

namespace {

const TriangleUV patternA{{{0, 0}, {1, 0}, {1, 1}}};
const TriangleUV patternB{{{0, 0}, {1, 1}, {0, 1}}};

// The triangles and, by pattern, their texture coordinates, in list order.
void expectTriangles(Mesh& mesh, const std::vector<std::pair<Triangle, const TriangleUV*>>& want) {
    ASSERT_EQ(mesh.triangleCount(), int(want.size()));
    for (int t = 0; t < mesh.triangleCount(); ++t) {
        EXPECT_EQ(*mesh.triangles()[t], want[t].first) << "triangle " << t;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ((*mesh.triangleUVs()[t])[k].tu, (*want[t].second)[k].tu) << t;
            EXPECT_EQ((*mesh.triangleUVs()[t])[k].tv, (*want[t].second)[k].tv) << t;
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

TEST(MakeGrid, SplitsEveryCellAlongTheSameDiagonal) {
    const auto grid = makeGrid(2, 2, 1);
    const Vertex* v = grid->vertices();
    EXPECT_POSITION(v[0], -1.0f, 0.0f, -1.0f);
    EXPECT_POSITION(v[1], 0.0f, 0.0f, -1.0f);
    EXPECT_POSITION(v[2], -1.0f, 0.0f, 0.0f);
    EXPECT_POSITION(v[3], 0.0f, 0.0f, 0.0f);
    expectTriangles(*grid, {{{0, 3, 2}, &patternB}, {{0, 1, 3}, &patternA}});

    // The cell at column 1 of row 1 of a 4-wide grid starts at vertex 5.
    const auto wide = makeGrid(4, 3, 1);
    ASSERT_EQ(wide->triangleCount(), 12);
    EXPECT_EQ(*wide->triangles()[8], (Triangle{5, 10, 9}));
    EXPECT_EQ(*wide->triangles()[9], (Triangle{5, 6, 10}));

    // Odd counts are centred.
    const auto odd = makeGrid(3, 3, 1);
    EXPECT_POSITION(odd->vertices()[0], -1.0f, 0.0f, -1.0f);
    EXPECT_POSITION(odd->vertices()[8], 1.0f, 0.0f, 1.0f);
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
    const Vertex* v = quad->vertices();
    EXPECT_POSITION(v[0], -2.0f, -1.0f, 0.0f);
    EXPECT_POSITION(v[1], 2.0f, -1.0f, 0.0f);
    EXPECT_POSITION(v[2], 2.0f, 1.0f, 0.0f);
    EXPECT_POSITION(v[3], -2.0f, 1.0f, 0.0f);
    for (int i = 0; i < 4; ++i) EXPECT_NORMAL(v[i], 0.0f, 0.0f, 1.0f);
    expectTriangles(*quad, {{{0, 1, 2}, &patternA}, {{0, 2, 3}, &patternB}});
}

TEST(MakeBox, HasEightSharedCornersAndTwelveTrianglesWithInwardNormals) {
    const auto box = makeBox(2, 2, 2);
    ASSERT_EQ(box->vertexCount(), 8);
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_POSITION(box->vertices()[i], corners[i][0], corners[i][1], corners[i][2]);
    }
    expectTriangles(*box, {{{0, 1, 2}, &patternA},
                           {{0, 2, 3}, &patternB},
                           {{1, 5, 6}, &patternA},
                           {{1, 6, 2}, &patternB},
                           {{4, 0, 3}, &patternA},
                           {{4, 3, 7}, &patternB},
                           {{4, 5, 1}, &patternA},
                           {{4, 1, 0}, &patternB},
                           {{3, 2, 6}, &patternA},
                           {{3, 6, 7}, &patternB},
                           {{5, 4, 7}, &patternA},
                           {{5, 7, 6}, &patternB}});

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
            const Vertex& v = sized->vertices()[i];
            EXPECT_NEAR(v.nx, expected[i][0], 1.2e-7) << "corner " << i << " of " << size.y;
            EXPECT_NEAR(v.ny, expected[i][1], 1.2e-7) << "corner " << i << " of " << size.y;
            EXPECT_NEAR(v.nz, expected[i][2], 1.2e-7) << "corner " << i << " of " << size.y;
        }
    }
}

}  // namespace
