#pragma once

// OpenGL 1.1 and GLU as the engine includes them. Windows' GL headers use
// WINGDIAPI and APIENTRY without defining them, so <windows.h> comes first.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <GL/gl.h>
#include <GL/glu.h>
