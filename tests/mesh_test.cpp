#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "mesh_support.h"

namespace {

constexpr float quarterTurn = float(std::numbers::pi / 2);
// A quarter turn as a float misses π/2 by 4.4e-8, so a unit coordinate that
// should turn to 0 lands within about 1e-7 of it.
constexpr float turnTolerance = 2e-7f;

TEST(MeshConstruction, CopiesItsInputAndKeepsTheWorkingCopyUntilTheFirstUpdate) {
    // The caller's arrays are on the heap and freed before the mesh is used:
    // under AddressSanitizer any storage the mesh shared with them would show.
    auto* vertices = new Vertex[3];
    vertices[0].setPosition(0, 0, 0);
    vertices[1].setPosition(1, 0, 0);
    vertices[2].setPosition(0, 1, 0);
    vertices[1].red = 40;
    vertices[2].nx = 0.5f;  // a caller's normal, replaced in the source copy only
    vertices[2].tu = 0.25f;
    auto** triangles = new Triangle*[1];
    triangles[0] = new Triangle{0, 1, 2};
    auto** uvs = new TriangleUV*[1];
    uvs[0] = new TriangleUV{{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}}};

    Mesh mesh(3, 1, vertices, triangles, uvs);
    delete[] vertices;
    delete triangles[0];
    delete[] triangles;
    delete uvs[0];
    delete[] uvs;

    ASSERT_EQ(mesh.vertexCount(), 3);
    ASSERT_EQ(mesh.triangleCount(), 1);
    EXPECT_EQ(*mesh.triangles()[0], (Triangle{0, 1, 2}));
    const TriangleUV& uv = *mesh.triangleUVs()[0];
    EXPECT_EQ(uv[0].tu, 0.1f);
    EXPECT_EQ(uv[0].tv, 0.2f);
    EXPECT_EQ(uv[2].tu, 0.5f);
    EXPECT_EQ(uv[2].tv, 0.6f);

    const Vertex* world = mesh.transformedVertices();
    EXPECT_NORMAL(world[2], 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(world[2].tu, 0.25f);
    EXPECT_EQ(world[1].red, 40);
    EXPECT_NORMAL(mesh.vertices()[2], 0.0f, 0.0f, 1.0f);

    EXPECT_POSITION(mesh.position, 0.0f, 0.0f, 0.0f);
    EXPECT_POSITION(mesh.rotation, 0.0f, 0.0f, 0.0f);
    EXPECT_POSITION(mesh.scale, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(mesh.alpha(), 1.0f);

    mesh.update();
    EXPECT_NORMAL(world[2], 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(world[2].tu, 0.25f);
    EXPECT_EQ(world[1].red, 40);
}

TEST(MeshConstruction, EmptyAndNegativeCountsGiveAnEmptyMesh) {
    for (const int count : {0, -1, -1000}) {
        Mesh mesh(count, count, nullptr, nullptr, nullptr);
        EXPECT_EQ(mesh.vertexCount(), 0);
        EXPECT_EQ(mesh.triangleCount(), 0);
        mesh.update();
        mesh.projectShadow(0, 1, 0, 0, 1, 1, 1);
    }
}

TEST(MeshNormals, FollowTheWindingOfTheCorners) {
    const auto ccw = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)}, {{0, 1, 2}});
    for (int i = 0; i < 3; ++i) EXPECT_NORMAL(ccw->vertices()[i], 0.0f, 0.0f, 1.0f);

    const auto cw = meshOf({blackAt(0, 0, 0), blackAt(1, 0, 0), blackAt(0, 1, 0)}, {{0, 2, 1}});
    for (int i = 0; i < 3; ++i) EXPECT_NORMAL(cw->vertices()[i], 0.0f, 0.0f, -1.0f);
}

TEST(MeshNormals, AverageTheUnitNormalsOfAdjacentFacesWhateverTheirArea) {
    // A large face with normal (0, 0, 1) and a small one with normal (0, 1, 0)
    // share the edge from vertex 0 to vertex 1.
    const auto mesh =
        meshOf({blackAt(0, 0, 0), blackAt(10, 0, 0), blackAt(0, 10, 0), blackAt(0, 0, -1)},
               {{0, 1, 2}, {0, 1, 3}});
    const Vertex* v = mesh->vertices();
    // (0, 1, 1) over its length: one rounding of the length, one of the division.
    for (int i : {0, 1}) {
        EXPECT_EQ(v[i].nx, 0.0f);
        EXPECT_FLOAT_EQ(v[i].ny, float(std::numbers::sqrt2 / 2));
        EXPECT_FLOAT_EQ(v[i].nz, float(std::numbers::sqrt2 / 2));
    }
    EXPECT_NORMAL(v[2], 0.0f, 0.0f, 1.0f);
    EXPECT_NORMAL(v[3], 0.0f, 1.0f, 0.0f);
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
    // The degenerate faces add nothing to the proper face's corners.
    EXPECT_NORMAL(v[0], 0.0f, 0.0f, 1.0f);
    EXPECT_NORMAL(v[1], 0.0f, 0.0f, 1.0f);
    for (int i = 3; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NORMAL(v[i], 0.0f, 0.0f, 0.0f);
    }
}

TEST(MeshUpdate, RotatesAboutXThenYThenZ) {
    struct Case {
        Vec3 rotation, point, expected;
    };
    const Case cases[] = {
        {{0, quarterTurn, 0}, {1, 0, 0}, {0, 0, -1}},
        {{quarterTurn, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{quarterTurn, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{0, 0, quarterTurn}, {1, 0, 0}, {0, 1, 0}},
        // x first: about x (0, 1, 0) goes to (0, 0, 1), then about y to (1, 0, 0).
        // Turning about y first would give (0, 0, 1).
        {{quarterTurn, quarterTurn, 0}, {0, 1, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto mesh = meshOf({blackAt(c.point.x, c.point.y, c.point.z)});
        mesh->setRotation(c.rotation.x, c.rotation.y, c.rotation.z);
        mesh->update();
        const Vertex& v = mesh->transformedVertices()[0];
        EXPECT_NEAR(v.x, c.expected.x, turnTolerance);
        EXPECT_NEAR(v.y, c.expected.y, turnTolerance);
        EXPECT_NEAR(v.z, c.expected.z, turnTolerance);
    }
}

TEST(MeshUpdate, NormalsTurnWithThePositionsButAreNeitherMovedNorScaled) {
    // Facing +y: the triangle lies in y = 0 wound towards +y.
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(0, 0, 1), blackAt(1, 0, 0)}, {{0, 1, 2}});
    EXPECT_NORMAL(mesh->vertices()[0], 0.0f, 1.0f, 0.0f);
    mesh->setRotation(quarterTurn, 0, 0);
    mesh->setPosition(100, 200, 300);
    mesh->setScale(3, -2, 5);
    mesh->update();
    for (int i = 0; i < 3; ++i) {
        const Vertex& v = mesh->transformedVertices()[i];
        EXPECT_EQ(v.nx, 0.0f);
        EXPECT_NEAR(v.ny, 0.0f, turnTolerance);
        EXPECT_EQ(v.nz, 1.0f);
    }
}

TEST(MeshUpdate, ScalesAfterTranslatingSoAboutTheWorldOrigin) {
    const auto mesh = meshOf({blackAt(0, 0, 0), blackAt(1, 2, 3)});
    mesh->setPosition(10, 0, 0);
    mesh->setScale(2, 2, 2);
    mesh->update();
    EXPECT_POSITION(mesh->transformedVertices()[0], 20.0f, 0.0f, 0.0f);
    EXPECT_POSITION(mesh->transformedVertices()[1], 22.0f, 4.0f, 6.0f);

    // The adders add, the setters assign.
    mesh->setScale(1, 1, 1);
    mesh->scaleBy(1, 1, 1);
    EXPECT_POSITION(mesh->scale, 2.0f, 2.0f, 2.0f);
    mesh->moveBy(1, -2, 3);
    EXPECT_POSITION(mesh->position, 11.0f, -2.0f, 3.0f);
    EXPECT_EQ(mesh->depth(), 3.0f);
    mesh->setRotation(0.5f, 0, 0);
    mesh->rotateBy(0.25f, 1, 0);
    EXPECT_POSITION(mesh->rotation, 0.75f, 1.0f, 0.0f);
}

TEST(MeshUpdate, StartsFromTheSourceEveryTime) {
    const auto mesh = meshOf({blackAt(1, 2, 3), blackAt(-4, 5, 6), blackAt(7, -8, 9)}, {{0, 1, 2}});
    mesh->setRotation(0.3f, -1.1f, 2.0f);
    mesh->setPosition(5, 6, 7);
    mesh->setScale(1.5f, 2, 0.5f);
    mesh->update();
    Vertex first[3];
    std::copy_n(mesh->transformedVertices(), 3, first);

    // Whatever happened to the working copy in between is thrown away.
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

TEST(MeshShadow, FlattensAlongTheLightVector) {
    struct Case {
        float a, b, c, d, lx, ly, lz;
        Vec3 point, expected;
    };
    const Case cases[] = {
        {0, 1, 0, 0, 0.5f, 1, -0.5f, {1, 2, 3}, {0, 0, 4}},  // onto y = 0
        {0, 1, 0, 10, 0, 1, 0, {1, 2, 3}, {1, -10, 3}},      // onto y = -10
        {0, 0, 1, 0, 0, 1, 1, {0, 0, 2}, {0, -2, 0}},        // onto z = 0
        {0, 1, 0, 0, 0, 2, 0, {1, 3, 1}, {2, 0, 2}},         // k = 2 scales by 2
    };
    for (const Case& c : cases) {
        const auto mesh = meshOf({blackAt(c.point.x, c.point.y, c.point.z)});
        mesh->update();
        Vertex& v = mesh->transformedVertices()[0];
        v.red = 12;
        v.nx = 0.5f;
        mesh->projectShadow(c.a, c.b, c.c, c.d, c.lx, c.ly, c.lz);
        EXPECT_POSITION(v, c.expected.x, c.expected.y, c.expected.z);
        EXPECT_EQ(v.red, 12);
        EXPECT_EQ(v.nx, 0.5f);
    }
}

TEST(MeshShadow, LandsOnAnObliquePlaneWhenKIsOne) {
    // Plane 2x - y + 2z + 6 = 0 and a light direction scaled so k = 1.
    const float a = 2, b = -1, c = 2, d = 6;
    const float lx = 0.25f, ly = -0.25f, lz = 0.125f;
    ASSERT_EQ(a * lx + b * ly + c * lz, 1.0f);
    const auto mesh = meshOf({blackAt(3, 7, -2), blackAt(-40, 11, 25), blackAt(0.5f, -3, 9)});
    mesh->update();
    mesh->projectShadow(a, b, c, d, lx, ly, lz);
    for (int i = 0; i < 3; ++i) {
        const Vertex& p = mesh->vertices()[i];
        const Vertex& q = mesh->transformedVertices()[i];
        // On the plane, and reached from the original point along L. The
        // coordinates are small binary fractions, so float arithmetic is exact.
        EXPECT_EQ(a * q.x + b * q.y + c * q.z + d, 0.0f);
        const float t = (q.x - p.x) / lx;
        EXPECT_EQ(q.y - p.y, t * ly);
        EXPECT_EQ(q.z - p.z, t * lz);
    }
}

}  // namespace
