#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "gloam/geometry/mesh.h"
#include "gloam/meshio/mesh_source.h"

using namespace gloam;

// A black vertex at (x, y, z), as the builders and the file reader make them.
inline Vertex blackAt(float x, float y, float z) {
    Vertex v;
    v.setPosition(x, y, z);
    return v;
}

// A mesh from positions and triangles; texture coordinates stay (0, 0).
inline std::unique_ptr<Mesh> meshOf(std::initializer_list<Vertex> vertices,
                                    std::initializer_list<Triangle> triangles = {}) {
    MeshSource source{vertices, triangles, {}};
    source.uvs.resize(source.triangles.size());
    return source.build();
}

// Three fields at once, exactly or within a tolerance; `v` is evaluated once.
#define EXPECT_FIELDS3(v, f1, f2, f3, e1, e2, e3, tolerance) \
    do {                                                     \
        const auto& fields3_ = (v);                          \
        EXPECT_NEAR(fields3_.f1, e1, tolerance);             \
        EXPECT_NEAR(fields3_.f2, e2, tolerance);             \
        EXPECT_NEAR(fields3_.f3, e3, tolerance);             \
    } while (0)
#define EXPECT_POSITION(v, x_, y_, z_) EXPECT_FIELDS3(v, x, y, z, x_, y_, z_, 0)
#define EXPECT_POSITION_NEAR(v, x_, y_, z_, tol) EXPECT_FIELDS3(v, x, y, z, x_, y_, z_, tol)
#define EXPECT_NORMAL(v, x_, y_, z_) EXPECT_FIELDS3(v, nx, ny, nz, x_, y_, z_, 0)
#define EXPECT_COLOUR(v, r, g, b) EXPECT_FIELDS3(v, red, green, blue, r, g, b, 0)
