#include "gloam/meshio/mesh_source.h"

#include <cstdint>
#include <limits>

namespace gloam {

namespace {

std::string count(std::size_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

}  // namespace

std::string MeshSource::problem() const {
    using std::to_string;
    constexpr std::size_t most = std::numeric_limits<std::int32_t>::max();
    if (vertices.size() > most || triangles.size() > most) {
        return "more than " + to_string(most) + " vertices or triangles";
    }
    if (uvs.size() != triangles.size()) {
        return count(triangles.size(), "triangle") + " but " +
               count(uvs.size(), "texture coordinate set") + ": give one TriangleUV per triangle";
    }
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        for (const std::int32_t index : triangles[t]) {
            if (index < 0 || std::size_t(index) >= vertices.size()) {
                const std::string at =
                    "triangle " + to_string(t) + ": vertex index " + to_string(index);
                if (vertices.empty()) return at + ", but there are no vertices";
                return at + " is outside 0.." + to_string(vertices.size() - 1);
            }
        }
    }
    return "";
}

std::unique_ptr<Mesh> MeshSource::build() const {
    std::string why;
    return build(why);
}

std::unique_ptr<Mesh> MeshSource::build(std::string& why) const {
    why = problem();
    if (!why.empty()) return nullptr;
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
