#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "geometry/mesh.h"
#include "meshio/mesh_source.h"

// A mesh from positions and triangles; texture coordinates stay (0, 0).
inline std::unique_ptr<Mesh> meshOf(std::initializer_list<Vertex> vertices,
                                    std::initializer_list<Triangle> triangles = {}) {
    MeshSource source;
    source.vertices = vertices;
    source.triangles = triangles;
    source.uvs.resize(source.triangles.size());
    return source.build();
}

// A black vertex at (x, y, z), as the builders and the file reader make them.
inline Vertex blackAt(float x, float y, float z) {
    Vertex v;
    v.setPosition(x, y, z);
    return v;
}

// Each evaluates `v` once, so it may be an expression with effects.
#define EXPECT_FIELDS3(v, f1, f2, f3, e1, e2, e3) \
    do {                                          \
        const auto& fields3_ = (v);               \
        EXPECT_EQ(fields3_.f1, e1);               \
        EXPECT_EQ(fields3_.f2, e2);               \
        EXPECT_EQ(fields3_.f3, e3);               \
    } while (0)
#define EXPECT_POSITION(v, ex, ey, ez) EXPECT_FIELDS3(v, x, y, z, ex, ey, ez)
#define EXPECT_NORMAL(v, ex, ey, ez) EXPECT_FIELDS3(v, nx, ny, nz, ex, ey, ez)
#define EXPECT_COLOUR(v, r, g, b) EXPECT_FIELDS3(v, red, green, blue, r, g, b)
