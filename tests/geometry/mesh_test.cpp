#include "gloam/geometry/mesh.h"

#include <gtest/gtest.h>

#include <numbers>

#include "tests/support/mesh_support.h"

using namespace gloam;

namespace {

constexpr float quarterTurn = float(std::numbers::pi / 2);
// A quarter turn as a float misses π/2 by 4.4e-8, so a unit coordinate that
// should turn to 0 lands within about 1e-7 of it.
constexpr float turnTolerance = 2e-7f;

TEST(MeshConstruction, CopiesItsInputAndKeepsTheWorkingCopyUntilTheFirstUpdate) {
    std::unique_ptr<Mesh> mesh;
    {
        // Freed before the mesh is used: under AddressSanitizer any storage
        // the mesh shared with its input would show.
        MeshSource input{{blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)},
                         {{0, 1, 2}},
                         {{{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}}}}};
        input.vertices[2].nx = 0.5f;  // the caller's normal, replaced in the source copy only
        input.vertices[2].red = 40;
        mesh = input.build();
    }
    EXPECT_EQ(*mesh->triangles()[0], (Triangle{0, 1, 2}));
    EXPECT_EQ((*mesh->triangleUVs()[0])[2].tv, 0.6f);
    const Vertex* world = mesh->transformedVertices();
    EXPECT_NORMAL(world[2], 0.5f, 0.0f, 0.0f);
    EXPECT_NORMAL(mesh->vertices()[2], 0.0f, 0.0f, 1.0f);
    mesh->update();
    EXPECT_NORMAL(world[2], 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(world[2].red, 40);

    Mesh empty(-5, -1, nullptr, nullptr, nullptr);  // negative counts are taken as 0
    EXPECT_EQ(empty.vertexCount() + empty.triangleCount(), 0);
    empty.update();
    empty.projectShadow(0, 1, 0, 0, 1, 1, 1);
}

TEST(MeshNormals, FollowTheWindingAndWeighEveryFaceEqually) {
    // A large face towards +z, a small one towards +y sharing the edge 0-1,
    // and one wound the other way round.
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(10, 0, 0), blackAt(0, 10, 0),
                              blackAt(0, 0, -1), blackAt(20, 0, 0), blackAt(20, 1, 0)},
                             {{0, 1, 2}, {0, 1, 3}, {1, 5, 4}});
    const Vertex* v = mesh->vertices();
    EXPECT_NORMAL(v[2], 0.0f, 0.0f, 1.0f);
    EXPECT_NORMAL(v[3], 0.0f, 1.0f, 0.0f);
    EXPECT_NORMAL(v[5], 0.0f, 0.0f, -1.0f);
    // (0, 1, 1) over its length: one rounding of the length, one of the division.
    EXPECT_EQ(v[0].nx, 0.0f);
    EXPECT_FLOAT_EQ(v[0].ny, float(std::numbers::sqrt2 / 2));
    EXPECT_FLOAT_EQ(v[0].nz, float(std::numbers::sqrt2 / 2));
}

TEST(MeshNormals, VerticesWithoutADirectionGetZeroNotNaN) {
    const auto mesh = meshOf(
        {
            blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0),  // a proper face
            blackAt(5, 5, 5), blackAt(6, 6, 6), blackAt(7, 7, 7),  // collinear
            blackAt(9, 9, 9),                                      // used by no face
            blackAt(0, 0, 3), blackAt(1, 0, 3), blackAt(0, 1, 3),  // two faces that cancel
        },
        {{0, 1, 2}, {3, 4, 5}, {0, 0, 1}, {7, 8, 9}, {7, 9, 8}});
    const Vertex* v = mesh->vertices();
    EXPECT_NORMAL(v[0], 0.0f, 0.0f, 1.0f);  // the degenerate face {0, 0, 1} adds nothing
    for (int i = 3; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NORMAL(v[i], 0.0f, 0.0f, 0.0f);
    }
}

TEST(MeshUpdate, RotatesAboutXThenYThenZ) {
    struct Case {
        Vec3 rotation, point, expected;
    };
    // Points off the axes, so that every entry of each matrix shows.
    const Case cases[] = {
        {{0, quarterTurn, 0}, {1, 0, 2}, {2, 0, -1}},
        {{quarterTurn, 0, 0}, {0, 1, 2}, {0, -2, 1}},
        {{0, 0, quarterTurn}, {1, 2, 0}, {-2, 1, 0}},
        // About x to (0, 0, 1), then about y to (1, 0, 0); y first would give (0, 0, 1).
        {{quarterTurn, quarterTurn, 0}, {0, 1, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto mesh = meshOf({blackAt(c.point.x, c.point.y, c.point.z)});
        mesh->setRotation(c.rotation.x, c.rotation.y, c.rotation.z);
        mesh->update();
        EXPECT_POSITION_NEAR(mesh->transformedVertices()[0], c.expected.x, c.expected.y,
                             c.expected.z, turnTolerance);
    }
}

TEST(MeshUpdate, TurnsNormalsButMovesAndScalesOnlyPositionsAboutTheWorldOrigin) {
    // Lies in y = 0, wound towards +y.
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(0, 0, 1), blackAt(1, 0, 0)}, {{0, 1, 2}});
    mesh->setRotation(quarterTurn - 1, 0, 0);
    mesh->rotateBy(1, 0, 0);  // adds, exactly back to a quarter turn
    mesh->setPosition(5, 0, 0);
    mesh->moveBy(5, 0, 0);
    mesh->setScale(1, 1, 1);
    mesh->scaleBy(1, 1, 1);  // adds: (2, 2, 2)
    mesh->update();
    const Vertex& origin = mesh->transformedVertices()[0];
    EXPECT_POSITION(origin, 20.0f, 0.0f, 0.0f);  // (0 + 10) · 2: scaled after the move
    EXPECT_FIELDS3(origin, nx, ny, nz, 0.0f, 0.0f, 1.0f, turnTolerance);
}

TEST(MeshUpdate, StartsFromTheSourceEveryTime) {
    const auto mesh = meshOf({blackAt(1, 2, 3), blackAt(-4, 5, 6), blackAt(7, -8, 9)}, {{0, 1, 2}});
    mesh->setRotation(0.3f, -1.1f, 2.0f);
    mesh->setPosition(5, 6, 7);
    mesh->setScale(1.5f, 2, 0.5f);
    mesh->update();
    Vertex first[3];
    std::copy_n(mesh->transformedVertices(), 3, first);

    // Lighting and flattening in between are thrown away.
    mesh->transformedVertices()[0].red = 99;
    mesh->projectShadow(0, 1, 0, 0, 1, 1, 1);
    mesh->update();
    for (int i = 0; i < 3; ++i) {
        const Vertex& again = mesh->transformedVertices()[i];
        EXPECT_POSITION(again, first[i].x, first[i].y, first[i].z);
        EXPECT_NORMAL(again, first[i].nx, first[i].ny, first[i].nz);
        EXPECT_COLOUR(again, 0, 0, 0);
    }
}

TEST(MeshShadow, FlattensAlongTheLightVectorScaledByK) {
    struct Case {
        float a, b, c, d, lx, ly, lz;
        Vec3 point, expected;
    };
    // Binary fractions throughout, so every result is exact.
    const Case cases[] = {
        {0, 1, 0, 0, 0.5f, 1, -0.5f, {1, 2, 3}, {0, 0, 4}},  // onto y = 0
        {0, 0, 1, 0, 0, 1, 1, {0, 0, 2}, {0, -2, 0}},        // onto z = 0
        {0, 1, 0, 0, 0, 2, 0, {1, 3, 1}, {2, 0, 2}},         // k = 2 doubles the result
        // Onto 2x - y + 2z + 6 = 0 with k = 1: p - (P·p)·L = p - 1·L.
        {2, -1, 2, 6, 0.25f, -0.25f, 0.125f, {3, 7, -2}, {2.75f, 7.25f, -2.125f}},
    };
    for (const Case& c : cases) {
        const auto mesh = meshOf({blackAt(c.point.x, c.point.y, c.point.z)});
        mesh->update();
        Vertex& v = mesh->transformedVertices()[0];
        v.red = 12;
        mesh->projectShadow(c.a, c.b, c.c, c.d, c.lx, c.ly, c.lz);
        EXPECT_POSITION(v, c.expected.x, c.expected.y, c.expected.z);
        EXPECT_EQ(v.red, 12);
    }
}

}  // namespace
