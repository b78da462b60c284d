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
    // Vertices no face uses, when the model is split by material: they
    // belong to no part.
    std::int64_t verticesLeftOut = 0;
};

// Reads Wavefront OBJ text into one mesh: every `v` becomes a vertex, in file
// order, and every face becomes triangles with the texture coordinates of its
// corners; objects, groups, materials, normals, lines and points are merged
// away or left out. A number that is not one, in OBJ's notation, is refused;
// a `#` begins a comment on any line, and a backslash at the end of a line
// joins the next one. UTF-16 and UTF-32 text with a byte-order mark is read. Indices count from 1,
// or back from the latest entry when negative. Polygons become triangles that cover them exactly
// with their winding (PolygonSplitter: a convex one as a fan from its first corner, a quad 0 1 2 3
// as 0 1 2 and 0 2 3); one that no triangles cover so is left out and counted in `notes`.
//
// Null, with the line and column of the fault and the reason in `error`,
// for a word that is not the number or index its statement takes, an index
// outside what comes before it, a number beyond float range, more than
// `maxCount` vertices or triangles (the engine counts them in 32 bits), or
// text in an encoding that is not read. `error.file` is left as it is.
std::unique_ptr<Mesh> meshFromObj(std::string_view text, FileError& error, ObjNotes& notes,
                                  std::int64_t maxCount = std::numeric_limits<std::int32_t>::max());

// One material's triangles.
struct ObjPart {
    // As `usemtl` names it; empty for faces before any.
    std::string material;
    std::unique_ptr<Mesh> mesh;
};

struct ObjModel {
    // One part per material the faces use, in the order of first use; one
    // part, with every vertex in file order, when they use one or none.
    // Each part holds the vertices its triangles use, in file order.
    std::vector<ObjPart> parts;
    // What each `mtllib` statement names, as written: one file name, or
    // several separated by blanks.
    std::vector<std::string> libraries;
    ObjNotes notes;
};

// Reads OBJ text as meshFromObj() does, split by material.
bool readObj(std::string_view text, ObjModel& model, FileError& error,
             std::int64_t maxCount = std::numeric_limits<std::int32_t>::max());

// A material of an MTL file: its name and its base-colour picture as the
// file names it (`map_Kd`, its options left out), empty when it has none.
struct ObjMaterial {
    std::string name;
    std::string picture;
};

// Reads the materials of MTL text (`newmtl` and `map_Kd`; the rest is read
// past). False, with where and why, for text in an encoding that is not
// read.
bool readMtl(std::string_view text, std::vector<ObjMaterial>& materials, FileError& error);

// The mesh's source geometry as OBJ: every vertex, the distinct texture
// coordinates, one face per triangle. Numbers are written as a POB file
// writes them, so that a POB file read, written as OBJ and read back writes
// the same POB file. False, with the reason, for a coordinate that is not a
// finite number, which OBJ has no way to write.
bool formatObj(const Mesh& mesh, std::string& text, std::string& reason);

}  // namespace gloam
