#pragma once

// What the X11 side of the Win32 stand-in shows of itself beyond the calls of
// platform/win32.h: the native objects behind the handles, for tests and
// tools that look at the windows from the X side, the rule by which
// ChoosePixelFormat ranks GLX configurations, and a reset for tests.

#include <X11/Xlib.h>

#include <span>

#include "gloam/platform/win32.h"

namespace gloam::x11standin {

// The stand-in's connection: null until a call needed one, and while none
// could be opened (no DISPLAY, or a server that refused us).
Display* display();

// The X window that shows `window` now, or 0 (None) for an unknown handle.
// Setting a pixel format may replace it, to give it the format's visual.
Window nativeWindow(HWND window);

// What ChoosePixelFormat knows of one GLX configuration.
struct FormatTraits {
    bool window = false;  // can draw to an X window (has a visual)
    bool bitmap = false;  // can draw to a pixmap
    bool rgba = false;
    bool colorIndex = false;
    bool doubleBuffer = false;
    bool stereo = false;
    bool slow = false;  // a caveat: software fallback or non-conformant
    int colorBits = 0;  // red + green + blue, as Windows counts cColorBits
    int alphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int accumBits = 0;
    int auxBuffers = 0;
    int samples = 0;
};

// The index of the configuration closest to `request`, or -1 when none has
// what it cannot do without: the drawable kinds of its flags, its pixel
// type, and double buffering when it asks for it. Among those, one whose
// buffering and stereo match the request comes first; then a format that
// lacks requested bits (colour, depth, alpha, stencil, accumulation,
// auxiliary buffers, in that order of weight) loses to one that has them;
// then the one with the fewest bits beyond the request wins; then one
// without a caveat and without multisampling; then the first.
int closestFormat(std::span<const FormatTraits> formats, const PIXELFORMATDESCRIPTOR& request);

// Deletes every rendering context, destroys every native window, closes the
// connection and forgets every window, class and message (standin::reset):
// a fresh process, for tests that start an X server of their own each.
void closeDisplay();

}  // namespace gloam::x11standin
