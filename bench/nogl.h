#pragma once

#include <cstdint>

// A GL that does nothing but count: the OpenGL and GLU entry points the
// engine calls, plus the two window calls a frame makes (SwapBuffers, and
// MessageBoxA for a failed set-up), so that a benchmark sees the engine's own
// cost of a frame and nothing of a driver's.
namespace nogl {

// Entry points called since the program started.
std::uint64_t callCount();

}  // namespace nogl
