#include "gloam/meshio/primitives.h"

#include <limits>

#include "gloam/meshio/mesh_source.h"

namespace gloam {

namespace {

// The two halves of a textured rectangle, split from corner (0, 0) to (1, 1).
constexpr TriangleUV patternA{{{0, 0}, {1, 0}, {1, 1}}};
constexpr TriangleUV patternB{{{0, 0}, {1, 1}, {0, 1}}};

Vertex at(float x, float y, float z) {
    Vertex v;  // black, like every vertex a builder makes
    v.setPosition(x, y, z);
    return v;
}

}  // namespace

std::unique_ptr<Mesh> makeGrid(std::int32_t columns, std::int32_t rows, float spacing) {
    MeshSource grid;
    const std::int64_t vertexCount = std::int64_t(columns) * rows;
    const std::int64_t triangleCount =
        columns < 2 || rows < 2 ? 0 : (2 * std::int64_t(columns) - 2) * (rows - 1);
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    if (columns < 1 || rows < 1 || vertexCount > limit || triangleCount > limit) {
        return grid.build();
    }

    grid.vertices.reserve(std::size_t(vertexCount));
    grid.triangles.reserve(std::size_t(triangleCount));
    grid.uvs.reserve(std::size_t(triangleCount));
    const float left = float(columns / 2) * spacing;
    const float back = float(rows / 2) * spacing;
    for (std::int32_t j = 0; j < rows; ++j) {
        for (std::int32_t k = 0; k < columns; ++k) {
            Vertex v = at(float(k) * spacing - left, 0.0f, float(j) * spacing - back);
            v.tu = float(k % 2);
            v.tv = float(j % 2);
            grid.vertices.push_back(v);

            // The cell from (k, j) to (k + 1, j + 1), split along that diagonal.
            if (k < columns - 1 && j < rows - 1) {
                const std::int32_t n = j * columns + k;
                grid.triangles.push_back({n, n + columns + 1, n + columns});
                grid.uvs.push_back(patternB);
                grid.triangles.push_back({n, n + 1, n + columns + 1});
                grid.uvs.push_back(patternA);
            }
        }
    }
    return grid.build();
}

std::unique_ptr<Mesh> makeQuad(float width, float height) {
    const float w = width / 2, h = height / 2;
    MeshSource quad;
    quad.vertices = {at(-w, -h, 0), at(w, -h, 0), at(w, h, 0), at(-w, h, 0)};
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    quad.uvs = {patternA, patternB};
    return quad.build();
}

std::unique_ptr<Mesh> makeBox(float width, float height, float depth) {
    const float w = width / 2, h = height / 2, d = depth / 2;
    MeshSource box;
    box.vertices = {at(-w, -h, -d), at(w, -h, -d), at(w, h, -d), at(-w, h, -d),
                    at(-w, -h, d),  at(w, -h, d),  at(w, h, d),  at(-w, h, d)};
    // Two triangles a face, in the order z = -d, x = +w, x = -w, y = -h, y = +h, z = +d.
    box.triangles = {{0, 1, 2}, {0, 2, 3}, {1, 5, 6}, {1, 6, 2}, {4, 0, 3}, {4, 3, 7},
                     {4, 5, 1}, {4, 1, 0}, {3, 2, 6}, {3, 6, 7}, {5, 4, 7}, {5, 7, 6}};
    for (int face = 0; face < 6; ++face) {
        box.uvs.push_back(patternA);
        box.uvs.push_back(patternB);
    }
    return box.build();
}

}  // namespace gloam
