#pragma once

// The large model of the conversion rows, made on demand: a torus of
// 709 x 709 quads (1,005,362 triangles, closed, with texture coordinates),
// as binary glTF or as OBJ, written counter-clockwise seen from outside as
// modelling tools write them.

#include <string>

namespace convert_model {

// Makes `name` (ending in .glb or .obj) in `folder` unless it is there, and
// returns its path; exits the program when it cannot be written.
std::string make(const std::string& folder, const std::string& name);

// The rows' "measured on" text for "glb" or "obj".
std::string description(const std::string& format);

}  // namespace convert_model
