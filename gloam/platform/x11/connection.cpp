// The connection to the X server, and the handles that stand for X objects.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#include "gloam/platform/x11/backend.h"

namespace gloam::x11standin {

namespace {

// Xlib's own handler prints the error and ends the process; Windows calls
// fail and report it instead, so errors are counted and the call that
// caused one decides what to do.
unsigned long errorCount = 0;

int countError(Display*, XErrorEvent*) {
    ++errorCount;
    return 0;
}

// Device-context handles are window handles moved into a range of their
// own, so that one handle kind passed for the other is caught.
constexpr std::uintptr_t dcBase = 0xDC000000;
constexpr std::uintptr_t dcRange = 0x01000000;

}  // namespace

Connection& connection() {
    static Connection theConnection;
    return theConnection;
}

void installErrorHandler() { XSetErrorHandler(countError); }

ErrorTrap::ErrorTrap() : before(errorCount) {}

bool ErrorTrap::passed() {
    if (Display* d = connection().display) XSync(d, False);
    return errorCount == before;
}

Display* openDisplay() {
    Connection& c = connection();
    if (c.display != nullptr) return c.display;
    c.display = XOpenDisplay(nullptr);
    if (c.display == nullptr) return nullptr;
    installErrorHandler();
    c.protocols = XInternAtom(c.display, "WM_PROTOCOLS", False);
    c.deleteWindow = XInternAtom(c.display, "WM_DELETE_WINDOW", False);
    c.wmState = XInternAtom(c.display, "WM_STATE", False);
    c.arrow = XCreateFontCursor(c.display, XC_left_ptr);
    prepareInput(c.display);
    return c.display;
}

Display* display() { return connection().display; }

const std::vector<GLXFBConfig>& configs() {
    Connection& c = connection();
    if (c.display == nullptr || c.glxChecked) return c.configs;
    c.glxChecked = true;
    int errorBase = 0;
    int eventBase = 0;
    int major = 0;
    int minor = 0;
    // Configurations and glXCreateNewContext arrived with GLX 1.3.
    if (!glXQueryExtension(c.display, &errorBase, &eventBase) ||
        !glXQueryVersion(c.display, &major, &minor) || (major == 1 && minor < 3)) {
        return c.configs;
    }
    c.glx = true;
    int count = 0;
    GLXFBConfig* list = glXGetFBConfigs(c.display, DefaultScreen(c.display), &count);
    if (list != nullptr) {
        c.configs.assign(list, list + count);
        XFree(list);
    }
    return c.configs;
}

NativeWindow* nativeOfX(Window xwindow) {
    if (xwindow == 0) return nullptr;
    for (NativeWindow& n : connection().windows) {
        if (n.xwindow == xwindow) return &n;
    }
    return nullptr;
}

// Through the record, not the handle: during CreateWindowExA the procedure
// already runs, and may call GetDC, before the handle is known here.
NativeWindow* nativeOf(HWND window) {
    const standin::WindowRecord* record = standin::findWindow(window);
    return record == nullptr ? nullptr : nativeOfX(Window(record->native));
}

Window nativeWindow(HWND window) {
    const NativeWindow* n = nativeOf(window);
    return n == nullptr ? 0 : n->xwindow;
}

HDC dcOf(HWND window) {
    return reinterpret_cast<HDC>(dcBase + reinterpret_cast<std::uintptr_t>(window));
}
HDC screenDc() { return reinterpret_cast<HDC>(dcBase); }
bool isScreenDc(HDC dc) { return dc == screenDc(); }

HWND windowOfDc(HDC dc) {
    auto bits = reinterpret_cast<std::uintptr_t>(dc);
    if (bits <= dcBase || bits >= dcBase + dcRange) return nullptr;
    HWND window = reinterpret_cast<HWND>(bits - dcBase);
    return standin::findWindow(window) != nullptr ? window : nullptr;
}

}  // namespace gloam::x11standin
