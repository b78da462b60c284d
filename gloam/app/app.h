#pragma once

// The program's one window: its class, its creation with an OpenGL pixel
// format, and its procedure. runApp (gloam/app/run.h) builds a program on
// these; most programs need nothing else from here.

#include "gloam/platform/win32.h"

namespace gloam {

// The program's module handle, stored by the first createAppWindow before it
// registers the window class. Non-null therefore means that registration
// has been tried, and it is never tried again, not even after a failure.
extern HINSTANCE appInstance;

// What BeginPaint fills in and EndPaint is handed back. One record in static
// storage serves every paint: a paint never nests in another.
extern PAINTSTRUCT paintRecord;

// The longest side a window may have: both window systems hand the client
// size to the window procedure in 16 bits.
inline constexpr int largestWindowSide = 65535;

// Creates a hidden top-level window of the given outer rectangle whose
// device context carries a double-buffered RGBA format with 24 colour and 32
// depth bits, or, when `stencilBits` asks for a stencil buffer, the format
// closest to 24 depth and that many stencil bits (the formats that have one
// pair it with a 24-bit depth buffer). Null after the user has been told
// which step failed (reportError); a window created before the failing step
// is left as it is. A side outside 1..largestWindowSide is refused before
// any window is made.
HWND createAppWindow(const char* title, int x, int y, int width, int height, int stencilBits = 0);

// Keeps the viewport equal to the client area, validates on paint, and turns
// a close request into the quit message that ends the frame loop. Keyboard
// and mouse messages go to the scene that runApp runs, if any.
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What a paint draws: nothing, because the frame loop redraws continuously.
void paintWindow();

}  // namespace gloam
