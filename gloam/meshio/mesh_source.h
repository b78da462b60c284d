#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gloam/geometry/mesh.h"

namespace gloam {

// The temporary arrays a builder or reader fills before handing them to the
// Mesh constructor, which copies them; they are released with this object.
struct MeshSource {
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    std::vector<TriangleUV> uvs;  // one per triangle, same order

    // Why these arrays cannot make a mesh, such as "triangle 0: vertex index
    // 1000000000 is outside 0..2" or "2 triangles but 0 texture coordinate
    // sets: give one TriangleUV per triangle"; empty when they can.
    std::string problem() const;

    // The mesh, or null when problem() is not empty.
    std::unique_ptr<Mesh> build() const;
    // The same, with problem()'s answer in `why` when it fails.
    std::unique_ptr<Mesh> build(std::string& why) const;
};

}  // namespace gloam
