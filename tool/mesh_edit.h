#pragma once

#include <cstdint>
#include <string>

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
// V. The normals stay as the mesh computed them: this is for writing the
// mesh out, not for drawing it. False, with the reason and the mesh
// unchanged, when a position would leave float range.
bool editMesh(Mesh& mesh, const MeshEdit& edit, std::string& reason);

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
    float min[3] = {0, 0, 0};  // over all vertices; 0 for an empty mesh
    float max[3] = {0, 0, 0};
    float uvMin[2] = {0, 0};  // over all triangle corners
    float uvMax[2] = {0, 0};
};

MeshReport reportMesh(const Mesh& mesh);

}  // namespace gloam
