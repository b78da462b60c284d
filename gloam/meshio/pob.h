#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "gloam/geometry/mesh.h"
#include "gloam/geometry/pob_writer.h"
#include "gloam/platform/files.h"

namespace gloam {

// POB is the engine's own text format for one triangle mesh: a header line
// "POBFILE", a comment line, the vertex and triangle counts, then the vertex
// positions, the triangles' vertex indices and every triangle's three corner
// texture coordinates, each section introduced by one comment line.
//
// The reader takes LF and CRLF line ends and lets the numbers of a section
// spread over lines however they like, but it keeps the format's line
// structure: the counts, the last vertex number and the last triangle index
// must each be followed directly by a line end, and the comment line that
// follows is skipped whatever it holds (at most 79 characters). Anything else
// that does not follow the format makes it return null: a wrong first line
// (a byte-order mark or leading blanks included), missing, malformed or
// out-of-range numbers, negative counts or counts the rest of the file cannot
// hold, vertex indices outside the vertex list, and anything but white space
// after the last section. "inf" and "nan" (optionally signed) are accepted
// because the writer produces them from meshes that hold such values.

// Reads a POB file; null when it cannot be read or is not a valid POB file.
// A file that is not a regular one (a pipe fed by another program, a
// device) is read as it arrives and refused at its first wrong byte,
// without waiting for the rest; what it holds is only believed as far as it
// has arrived, so counts it does not live up to cost nothing.
std::unique_ptr<Mesh> loadPob(const char* fileName);

// The same, from the file's bytes in memory.
std::unique_ptr<Mesh> parsePob(std::string_view text);

// The same two, saying where and why when they fail: `error` gets the line
// and column (from 1) of the first byte that does not fit the format and the
// reason, so that error.message() reads "table.pob:3:14: expected a number"
// or "table.pob:7:1: index 12 is outside 0..7". loadPob names the file in
// error.file; parsePob leaves error.file as it is.
std::unique_ptr<Mesh> loadPob(const char* fileName, FileError& error);
std::unique_ptr<Mesh> parsePob(std::string_view text, FileError& error);

// The writer, Mesh::savePob and formatPob, lives with the mesh
// (gloam/geometry/pob_writer.h, included above).

}  // namespace gloam
