#pragma once

#include <cstdint>
#include <memory>

#include "gloam/geometry/mesh.h"

namespace gloam {

// Procedural shapes. Each returns a new mesh with the constructor's defaults
// (no placement, alpha 1, texture name unset) and black vertices; each face
// maps the whole texture once, split along its diagonal.

// A flat grid in the x-z plane, `columns` × `rows` vertices `spacing` apart,
// starting at -(columns/2)·spacing in x and -(rows/2)·spacing in z (integer
// halves, so an even count is not centred). Wound so its normals are
// (0, -1, 0). Fewer than 2 columns or rows give vertices but no triangles;
// fewer than 1, or more vertices or triangles than a mesh can count, an
// empty mesh.
std::unique_ptr<Mesh> makeGrid(std::int32_t columns, std::int32_t rows, float spacing);

// A width × height rectangle in the x-y plane, centred on the origin, facing +z.
std::unique_ptr<Mesh> makeQuad(float width, float height);

// An axis-aligned box centred on the origin with eight shared corners, every
// face wound so its normal points into the box.
std::unique_ptr<Mesh> makeBox(float width, float height, float depth);

}  // namespace gloam
