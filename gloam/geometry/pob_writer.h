#pragma once

// The mesh's own file: Mesh::savePob writes it, and it lives here beside the
// mesh rather than with the reader so that a program that only builds and
// saves meshes needs nothing but the geometry library. The format and its
// reader are in gloam/meshio/pob.h.

#include <string>

namespace gloam {

class Mesh;

// The file Mesh::savePob writes: the untransformed source positions and the
// corner texture coordinates with six significant digits in %g notation, LF
// line ends. Mesh::savePob writes it through an AtomicFile: a new file
// beside the target, renamed over it only once all of it is on disk.
std::string formatPob(const Mesh& mesh);

}  // namespace gloam
