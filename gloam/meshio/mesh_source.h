#pragma once

#include <memory>
#include <vector>

#include "gloam/geometry/mesh.h"

namespace gloam {

// The temporary arrays a builder or reader fills before handing them to the
// Mesh constructor, which copies them; they are released with this object.
struct MeshSource {
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    std::vector<TriangleUV> uvs;  // one per triangle, same order

    std::unique_ptr<Mesh> build() const;
};

}  // namespace gloam
