#pragma once

// Where the viewer puts a mesh and its camera. Whatever its units and
// wherever it lies, a mesh is moved and scaled so that the sphere round its
// bounds is centred on the origin with radius shownRadius; the floor, the
// camera's distances and the depth range then stay the same for every mesh.
// That also keeps OpenGL's numbers moderate: a mesh a million units from the
// origin would lose its detail to float rounding in the matrices.

#include <cstdint>
#include <memory>

#include "gloam/geometry/mesh.h"
#include "gloam/render/renderer.h"

namespace gloam::viewer {

inline constexpr double shownRadius = 100.0;
// The floor's squares: each this many times the shown radius across.
inline constexpr double floorCell = 0.5;

// The box round the vertices whose three coordinates are finite; a vertex
// with a NaN or an infinity cannot be placed, so it takes no part.
struct Bounds {
    double min[3] = {0.0, 0.0, 0.0};
    double max[3] = {0.0, 0.0, 0.0};
    std::int64_t counted = 0;  // the vertices inside; 0 leaves the box empty

    // Widens the box to hold `other` too.
    void add(const Bounds& other);
};

bool isFinite(const Vertex& vertex);
Bounds boundsOf(const Mesh& mesh);

// How the mesh is placed: shown = scale * (p - centre).
struct Framing {
    double centre[3] = {0.0, 0.0, 0.0};
    double scale = 1.0;
};

// An empty box is framed at the origin as it is, and so is a single point or
// a box too thin to have a radius: there is nothing to fill the view with.
Framing frameBounds(const Bounds& bounds);

// The mesh as the viewer shows it: every vertex placed by `framing` (that of
// the bounds of the whole model it belongs to), and only the triangles whose
// corners are all finite. Its normals are computed from the placed vertices,
// where float has room for them (a mesh of 1e-20 units, or of 1e38, has none
// where it was made). The loaded mesh is taken apart on the way, so that its
// vertices are not held twice.
std::unique_ptr<Mesh> placeMesh(std::unique_ptr<Mesh> loaded, const Framing& framing);

// How far from the origin, across the floor, the floor must reach so that
// it holds the whole shadow of what lies in `shown` (placed bounds) standing
// on the floor at its lowest point, with the sun anywhere round and as low
// as `sunElevation`; never less than the shown sphere's own reach.
double floorReachFor(const Bounds& shown, double sunElevation);

// The camera, turned about the origin: `yaw` from +x towards +z, `pitch`
// above the floor's plane (radians), and `zoom` times the distance at which
// the shown sphere just fills the narrower side of a window of `aspect`
// (width / height). The depth range covers the mesh and a floor reaching
// `floorReach` from the origin.
View orbitView(double yaw, double pitch, double zoom, double aspect, double floorReach);

}  // namespace gloam::viewer
