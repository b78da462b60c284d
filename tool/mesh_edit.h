#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gloam/geometry/mesh.h"

namespace gloam {

// Changes a converted mesh on its way to a file.
struct MeshEdit {
    double scale = 1.0;
    bool centre = false;  // the middle of the bounds to the origin
    bool floor = false;   // the lowest point to y = 0 (with `centre`: centred in x and z only)
    bool flipWinding = false;
    bool flipV = false;
};

// Applies `edit` to the source arrays, in that order: scale, move, winding,
// V. A negative scale mirrors the mesh, and turns its triangles round with
// it (on top of `flipWinding`) so that the same side stays lit. Vertices
// that are not finite are left as they are, and the bounds that `centre` and
// `floor` go by are those of the others. The normals stay as the mesh
// computed them: this is for writing the mesh out, not for drawing it.
// False, with the reason and the mesh unchanged, when a position would leave
// float range. What the user should know is added to `notes`.
bool editMesh(Mesh& mesh, const MeshEdit& edit, std::string& reason,
              std::vector<std::string>* notes = nullptr);

// Whether multiplying every position by `scale` would collapse the mesh:
// a coordinate that a float holds as a normal number would become 0 or
// subnormal, or every vertex would come to one point. The reason says
// which.
bool scaleCollapses(const Mesh& mesh, double scale, std::string& reason);

// What `info` reports about a mesh.
struct MeshReport {
    std::int32_t vertices = 0;
    std::int32_t triangles = 0;
    std::int32_t unusedVertices = 0;
    // A corner named twice, or three corners on one line.
    std::int32_t degenerate = 0;
    // Triangles over the same three positions as an earlier one, whatever
    // the corner order: they fight for the same pixels and, wound the other
    // way, cancel each other's normals.
    std::int32_t duplicates = 0;
    // Vertices with a coordinate that is NaN or infinite: how many, and the
    // first few of them; the triangles that use any of them, which are not
    // counted as degenerate.
    static constexpr std::size_t named = 5;
    std::int32_t nonFiniteVertices = 0;
    std::vector<std::int32_t> nonFinite;
    std::int32_t touchingNonFinite = 0;
    // The bounds of the other vertices; 0 when there are none.
    std::int32_t finiteVertices = 0;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
    float uvMin[2] = {0, 0};  // over all triangle corners
    float uvMax[2] = {0, 0};
};

MeshReport reportMesh(const Mesh& mesh);

}  // namespace gloam
