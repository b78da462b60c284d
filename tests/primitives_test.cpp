#include "meshio/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "mesh_support.h"

namespace {

const TriangleUV patternA{{{0, 0}, {1, 0}, {1, 1}}};
const TriangleUV patternB{{{0, 0}, {1, 1}, {0, 1}}};

bool sameUV(const TriangleUV& a, const TriangleUV& b) {
    for (int k = 0; k < 3; ++k) {
        if (a[k].tu != b[k].tu || a[k].tv != b[k].tv) return false;
    }
    return true;
}

void expectDefaults(Mesh& mesh) {
    EXPECT_POSITION(mesh.position, 0.0f, 0.0f, 0.0f);
    EXPECT_POSITION(mesh.rotation, 0.0f, 0.0f, 0.0f);
    EXPECT_POSITION(mesh.scale, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(mesh.alpha(), 1.0f);
    for (int i = 0; i < mesh.vertexCount(); ++i) EXPECT_COLOUR(mesh.vertices()[i], 0, 0, 0);
}

TEST(MakeGrid, DemoFloorSpansMinus500To400WithNormalsDown) {
    const auto grid = makeGrid(10, 10, 100);
    ASSERT_EQ(grid->vertexCount(), 100);
    ASSERT_EQ(grid->triangleCount(), 162);
    expectDefaults(*grid);

    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int j = 0; j < 10; ++j) {
        for (int k = 0; k < 10; ++k) {
            const Vertex& v = grid->vertices()[j * 10 + k];
            EXPECT_EQ(v.x, -500.0f + 100.0f * float(k));
            EXPECT_EQ(v.y, 0.0f);
            EXPECT_EQ(v.z, -500.0f + 100.0f * float(j));
            EXPECT_EQ(v.tu, float(k % 2));
            EXPECT_EQ(v.tv, float(j % 2));
            // Every face normal is exactly (0, -1, 0), so the sums normalise exactly.
            EXPECT_NORMAL(v, 0.0f, -1.0f, 0.0f);
            minX = std::min(minX, v.x);
            maxX = std::max(maxX, v.x);
            minZ = std::min(minZ, v.z);
            maxZ = std::max(maxZ, v.z);
        }
    }
    EXPECT_EQ(minX, -500.0f);
    EXPECT_EQ(maxX, 400.0f);
    EXPECT_EQ(minZ, -500.0f);
    EXPECT_EQ(maxZ, 400.0f);
}

TEST(MakeGrid, SplitsEachCellAlongTheSameDiagonal) {
    const auto grid = makeGrid(2, 2, 1);
    ASSERT_EQ(grid->vertexCount(), 4);
    ASSERT_EQ(grid->triangleCount(), 2);
    const Vertex* v = grid->vertices();
    EXPECT_POSITION(v[0], -1.0f, 0.0f, -1.0f);
    EXPECT_POSITION(v[1], 0.0f, 0.0f, -1.0f);
    EXPECT_POSITION(v[2], -1.0f, 0.0f, 0.0f);
    EXPECT_POSITION(v[3], 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(*grid->triangles()[0], (Triangle{0, 3, 2}));
    EXPECT_TRUE(sameUV(*grid->triangleUVs()[0], patternB));
    EXPECT_EQ(*grid->triangles()[1], (Triangle{0, 1, 3}));
    EXPECT_TRUE(sameUV(*grid->triangleUVs()[1], patternA));

    // In a wider grid, the cell at column 1 of row 1 starts at vertex 1·4 + 1.
    const auto wide = makeGrid(4, 3, 1);
    ASSERT_EQ(wide->triangleCount(), 12);
    EXPECT_EQ(*wide->triangles()[8], (Triangle{5, 10, 9}));
    EXPECT_EQ(*wide->triangles()[9], (Triangle{5, 6, 10}));
}

TEST(MakeGrid, OddCountsAreCentred) {
    const auto grid = makeGrid(3, 3, 1);
    EXPECT_POSITION(grid->vertices()[0], -1.0f, 0.0f, -1.0f);
    EXPECT_POSITION(grid->vertices()[8], 1.0f, 0.0f, 1.0f);

    const auto eleven = makeGrid(11, 1, 100);
    EXPECT_EQ(eleven->vertices()[0].x, -500.0f);
    EXPECT_EQ(eleven->vertices()[10].x, 500.0f);
}

TEST(MakeGrid, TooFewOrTooManyVerticesGiveNoTriangles) {
    const auto strip = makeGrid(1, 5, 10);
    EXPECT_EQ(strip->vertexCount(), 5);
    EXPECT_EQ(strip->triangleCount(), 0);
    EXPECT_POSITION(strip->vertices()[4], 0.0f, 0.0f, 20.0f);
    EXPECT_NORMAL(strip->vertices()[4], 0.0f, 0.0f, 0.0f);

    // Nothing to build, and no negative or overflowing count reaches an allocation.
    for (const auto& [columns, rows] :
         {std::pair{0, 5}, {5, 0}, {-3, 4}, {-3, -4}, {65536, 65536}, {2, INT32_MAX}}) {
        SCOPED_TRACE(testing::Message() << columns << " x " << rows);
        const auto empty = makeGrid(columns, rows, 1);
        EXPECT_EQ(empty->vertexCount(), 0);
        EXPECT_EQ(empty->triangleCount(), 0);
    }
}

TEST(MakeQuad, SpansTheXyPlaneFacingPlusZ) {
    const auto quad = makeQuad(4, 2);
    ASSERT_EQ(quad->vertexCount(), 4);
    ASSERT_EQ(quad->triangleCount(), 2);
    expectDefaults(*quad);
    const Vertex* v = quad->vertices();
    EXPECT_POSITION(v[0], -2.0f, -1.0f, 0.0f);
    EXPECT_POSITION(v[1], 2.0f, -1.0f, 0.0f);
    EXPECT_POSITION(v[2], 2.0f, 1.0f, 0.0f);
    EXPECT_POSITION(v[3], -2.0f, 1.0f, 0.0f);
    for (int i = 0; i < 4; ++i) EXPECT_NORMAL(v[i], 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(*quad->triangles()[0], (Triangle{0, 1, 2}));
    EXPECT_EQ(*quad->triangles()[1], (Triangle{0, 2, 3}));
    EXPECT_TRUE(sameUV(*quad->triangleUVs()[0], patternA));
    EXPECT_TRUE(sameUV(*quad->triangleUVs()[1], patternB));
}

TEST(MakeBox, HasEightSharedCornersAndTwelveInwardTriangles) {
    const auto box = makeBox(2, 2, 2);
    ASSERT_EQ(box->vertexCount(), 8);
    ASSERT_EQ(box->triangleCount(), 12);
    expectDefaults(*box);
    const Vertex* v = box->vertices();
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (int i = 0; i < 8; ++i) EXPECT_POSITION(v[i], corners[i][0], corners[i][1], corners[i][2]);

    const Triangle triangles[12] = {{0, 1, 2}, {0, 2, 3}, {1, 5, 6}, {1, 6, 2},
                                    {4, 0, 3}, {4, 3, 7}, {4, 5, 1}, {4, 1, 0},
                                    {3, 2, 6}, {3, 6, 7}, {5, 4, 7}, {5, 7, 6}};
    for (int t = 0; t < 12; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(*box->triangles()[t], triangles[t]);
        EXPECT_TRUE(sameUV(*box->triangleUVs()[t], t % 2 == 0 ? patternA : patternB));
        // Every face normal points into the box, towards the origin.
        const Triangle& tri = triangles[t];
        const Vertex &p0 = v[tri[0]], &p1 = v[tri[1]], &p2 = v[tri[2]];
        const float nx = (p1.y - p0.y) * (p2.z - p0.z) - (p1.z - p0.z) * (p2.y - p0.y);
        const float ny = (p1.z - p0.z) * (p2.x - p0.x) - (p1.x - p0.x) * (p2.z - p0.z);
        const float nz = (p1.x - p0.x) * (p2.y - p0.y) - (p1.y - p0.y) * (p2.x - p0.x);
        EXPECT_LT(nx * p0.x + ny * p0.y + nz * p0.z, 0.0f);
    }
}

TEST(MakeBox, CornerNormalsPointDiagonallyInwardForAnySize) {
    const double r6 = std::sqrt(6.0);
    const double expected[8][3] = {
        {1 / r6, 1 / r6, 2 / r6},       {-2 / 3.0, 2 / 3.0, 1 / 3.0}, {-1 / r6, -1 / r6, 2 / r6},
        {2 / 3.0, -2 / 3.0, 1 / 3.0},   {2 / 3.0, 2 / 3.0, -1 / 3.0}, {-1 / r6, 1 / r6, -2 / r6},
        {-2 / 3.0, -2 / 3.0, -1 / 3.0}, {1 / r6, -1 / r6, -2 / r6},
    };
    // The face normals are exact unit axes and their sums small integers; the
    // float length and the three divisions each round once, so every
    // component is within 2 ulp (< 1.2e-7 below 1) of the exact value.
    for (const Vec3 size : {Vec3{2, 2, 2}, Vec3{150, 150, 150}, Vec3{35, 0.5f, 1000}}) {
        const auto box = makeBox(size.x, size.y, size.z);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(testing::Message() << "size " << size.x << " corner " << i);
            const Vertex& v = box->vertices()[i];
            EXPECT_NEAR(v.nx, expected[i][0], 1.2e-7);
            EXPECT_NEAR(v.ny, expected[i][1], 1.2e-7);
            EXPECT_NEAR(v.nz, expected[i][2], 1.2e-7);
        }
    }
}

}  // namespace
