#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gloam/geometry/mesh.h"
#include "gloam/platform/files.h"

namespace gloam {

// What an OBJ file gave beside its mesh, for the tool to tell the user.
struct ObjNotes {
    std::int64_t cornersWithoutUV = 0;  // they get (0, 0)
    std::int64_t shortFaces = 0;        // fewer than three corners: left out
    std::int64_t polygons = 0;          // faces of four or more corners, split into triangles
    std::int64_t flatPolygons = 0;      // polygons of no area (corners on one line): left out
    // Polygons that cross themselves, or concave ones of more corners than
    // the splitter takes, which no triangles cover exactly: left out. The
    // first few of them by their line, from 1, and corner count.
    std::int64_t uncoveredPolygons = 0;
    struct Face {
        std::int64_t line = 0;
        std::int64_t corners = 0;
    };
    std::vector<Face> uncovered;
};

// Reads Wavefront OBJ text into one mesh: every `v` becomes a vertex, in file
// order, and every face becomes triangles with the texture coordinates of its
// corners; objects, groups, materials, normals, lines and points are merged
// away or left out. Indices count from 1, or back from the latest entry when
// negative. Polygons become triangles that cover them exactly with their
// winding (PolygonSplitter: a convex one as a fan from its first corner, a
// quad 0 1 2 3 as 0 1 2 and 0 2 3); one that no triangles cover so is left
// out and counted in `notes`.
//
// Null, with the line and column of the fault and the reason in `error`,
// for an index outside what comes before it, a number beyond float range,
// or more than `maxCount` vertices or triangles (the engine counts them in
// 32 bits). `error.file` is left as it is.
std::unique_ptr<Mesh> meshFromObj(std::string_view text, FileError& error, ObjNotes& notes,
                                  std::int64_t maxCount = std::numeric_limits<std::int32_t>::max());

// The mesh's source geometry as OBJ: every vertex, the distinct texture
// coordinates, one face per triangle. Numbers are written as a POB file
// writes them, so that a POB file read, written as OBJ and read back writes
// the same POB file. False, with the reason, for a coordinate that is not a
// finite number, which OBJ has no way to write.
bool formatObj(const Mesh& mesh, std::string& text, std::string& reason);

}  // namespace gloam
