#include "gloam/meshio/mesh_source.h"

#include <cstdint>

namespace gloam {

std::unique_ptr<Mesh> MeshSource::build() const {
    // The constructor takes one pointer per triangle.
    std::vector<const Triangle*> trianglePointers;
    std::vector<const TriangleUV*> uvPointers;
    trianglePointers.reserve(triangles.size());
    uvPointers.reserve(triangles.size());
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        trianglePointers.push_back(&triangles[i]);
        uvPointers.push_back(&uvs[i]);
    }
    return std::make_unique<Mesh>(std::int32_t(vertices.size()), std::int32_t(triangles.size()),
                                  vertices.data(), trianglePointers.data(), uvPointers.data());
}

}  // namespace gloam
