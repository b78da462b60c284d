#pragma once

// OpenGL 1.1 and GLU as the engine includes them. Windows' GL headers use
// WINGDIAPI and APIENTRY without defining them, so <windows.h> comes first.
#ifdef _WIN32
#include "gloam/platform/win32.h"
#endif

#include <GL/gl.h>
#include <GL/glu.h>
