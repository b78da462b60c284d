#pragma once

// Floats as the engine's text files write them. Not installed.

#include <cstddef>

namespace gloam {

// The most characters writeFloat writes: "-1.23457e-38".
inline constexpr std::size_t floatTextRoom = 12;

// Writes `value` at `out` as printf's "%g" does (six significant digits,
// general notation, trailing zeros dropped) and returns the end. Meshes
// have millions of coordinates, and the general float formatter of the
// standard library spends most of a file's writing time on them; this takes
// a short road through double arithmetic wherever that is provably exact,
// and the standard formatter's everywhere else, so the bytes are the same.
char* writeFloat(char* out, float value);

}  // namespace gloam
