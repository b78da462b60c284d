#pragma once

#include <memory>

#include "gloam/geometry/mesh.h"

// The demo's table: a top 220 × 130 (along x and z) and 10 thick, its upper
// face at y = 90, on four 10 × 10 legs that stand on y = 0, centred on the
// origin. Every face has its own four corners, so its normals stay flat.
std::unique_ptr<gloam::Mesh> buildTable();
