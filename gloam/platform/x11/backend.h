#pragma once

// The X11 side's state, shared by its own sources only.

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <bitset>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "gloam/platform/standin.h"
#include "gloam/platform/x11/x11_standin.h"

namespace gloam::x11standin {

// One X window under a stand-in window. Windows records are the stand-in's;
// this holds what only X knows.
struct NativeWindow {
    HWND handle = nullptr;  // known once CreateWindowExA has the handle
    Window xwindow = 0;
    Window xparent = 0;
    Colormap colormap = 0;  // ours to free; 0 while the window uses its parent's
    VisualID visual = 0;
    int x = 0;  // position in the parent, as created
    int y = 0;
    int pixelFormat = 0;  // 1-based index into the GLX configurations; 0 until set
    bool minimised = false;
    bool gone = false;  // destroyed by someone else: nothing may draw to it any more
};

struct Connection {
    Display* display = nullptr;
    Atom protocols = 0;     // WM_PROTOCOLS
    Atom deleteWindow = 0;  // WM_DELETE_WINDOW
    Atom wmState = 0;       // WM_STATE
    Cursor arrow = 0;
    bool glxChecked = false;
    bool glx = false;
    std::vector<GLXFBConfig> configs;  // pixel format n is configs[n - 1]
    std::vector<NativeWindow> windows;

    // The keyboard, as input.cpp reads it.
    bool evdevKeycodes = false;  // keycodes are Linux's key numbers + 8
    unsigned numLockMask = 0;    // the modifier bit that Num Lock sets
    std::bitset<256> keysDown;   // by keycode, as far as our windows saw them
    // What recent key presses typed, until TranslateMessage asks.
    struct Typed {
        MSG keyDown;
        std::string text;
    };
    std::deque<Typed> typed;
    HWND focus = nullptr;      // the window that last gained the focus and kept it
    HWND lostFocus = nullptr;  // the window that last lost it
};

Connection& connection();

// The connection, opened on first use; null when no server can be reached.
Display* openDisplay();

// The GLX configurations in pixel-format order; empty without GLX 1.3.
const std::vector<GLXFBConfig>& configs();

NativeWindow* nativeOf(HWND window);
NativeWindow* nativeOfX(Window xwindow);

// Device contexts: a window's own one (every window behaves as CS_OWNDC),
// and the screen's.
HDC dcOf(HWND window);
HDC screenDc();
// The window a device context belongs to; null for the screen's and for
// handles that are not device contexts.
HWND windowOfDc(HDC dc);
bool isScreenDc(HDC dc);

// Counts X errors, which Xlib would otherwise answer by ending the process:
// a request that fails makes the call that made it fail instead.
class ErrorTrap {
public:
    ErrorTrap();
    // Waits for the server to process every request so far; true when none
    // of them failed since the trap was set.
    bool passed();

private:
    unsigned long before;
};
void installErrorHandler();

// Gives a new or replaced X window what the window manager reads: title,
// class, close protocol, size and position hints, cursor.
void describeWindow(const NativeWindow& native, const standin::WindowRecord& record);

// A new X window with the stand-in's attributes: no background (the class
// brush is never painted), the events that become messages. 0 on failure.
Window createXWindow(Window parent, int x, int y, int width, int height, int depth, Visual* visual,
                     Colormap colormap);

// Removes the native side of windows whose records are gone.
void dropOrphans();

// Deletes every rendering context, current or not.
void deleteContexts();

// Called when a window's X window is about to go: unbinds the current
// rendering context from it.
void releaseDrawable(Window xwindow);

void installWindowSystem();

// Reads what input.cpp needs of a new connection's keyboard.
void prepareInput(Display* d);
// A keyboard, mouse or focus event for `window` as Windows reports it: input
// messages queued, focus messages sent. True when it left a message for
// retrieval.
bool translateInput(const XEvent& e, HWND window);
// What the key press behind a WM_KEYDOWN or WM_SYSKEYDOWN typed.
std::string typedBy(const MSG& keyDown);

}  // namespace gloam::x11standin
